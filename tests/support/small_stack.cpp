#include "tests/support/small_stack.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <pthread.h>
#endif

namespace qztest {

namespace {

struct Work {
  void (*run)(void*);
  void* argument;
};

void RunWork(void* work) {
  const auto* task = static_cast<const Work*>(work);
  task->run(task->argument);
}

#if defined(_WIN32)
DWORD WINAPI ThreadMain(LPVOID work) {
  RunWork(work);
  return 0;
}
#else
void* ThreadMain(void* work) {
  RunWork(work);
  return nullptr;
}
#endif

}  // namespace

bool RunOnThreadWithStack(std::size_t stackBytes, void (*work)(void*), void* argument) {
  Work task{work, argument};
#if defined(_WIN32)
  // A reservation, as the linker's stack size of a program is, not just the
  // first commit.
  HANDLE thread = CreateThread(nullptr, stackBytes, ThreadMain, &task, STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr);
  if (thread == nullptr) return false;
  WaitForSingleObject(thread, INFINITE);
  CloseHandle(thread);
  return true;
#else
  pthread_attr_t attributes;
  if (pthread_attr_init(&attributes) != 0) return false;
  pthread_t thread;
  const bool started = pthread_attr_setstacksize(&attributes, stackBytes) == 0 &&
                       pthread_create(&thread, &attributes, ThreadMain, &task) == 0;
  pthread_attr_destroy(&attributes);
  if (!started) return false;
  pthread_join(thread, nullptr);
  return true;
#endif
}

}  // namespace qztest
