// A refused scratch allocation ends a command quietly: result 0, no line after
// the refusal, nothing leaked (LeakSanitizer checks every test process at exit).
//
// The shipped module is tested, not a special build: this program replaces the
// nothrow array allocator that the module's calls resolve to. Windows binds a
// DLL's allocator inside the DLL itself, so there the test can only skip.
#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>
#include <vector>

#include "tests/support/module_fixture.h"

#if !defined(_WIN32)
#include <dlfcn.h>

namespace {

// Allocations still granted before one is refused; negative: refuse none.
long g_grantsBeforeRefusal = -1;
std::uint64_t g_allocationsDuringCommand = 0;
bool g_refused = false;
std::uint64_t g_linesBeforeRefusal = 0;

}  // namespace

void* operator new[](std::size_t size, const std::nothrow_t& tag) noexcept {
  using Allocator = void* (*)(std::size_t, const std::nothrow_t&) noexcept;
  // The allocator this one stands in front of: the sanitizer's or the C++ runtime's.
  static const auto next = reinterpret_cast<Allocator>(dlsym(RTLD_NEXT, "_ZnamRKSt9nothrow_t"));
  const hostsim::Host* host = hostsim::Host::Active();
  if (host != nullptr) {
    ++g_allocationsDuringCommand;
    if (g_grantsBeforeRefusal == 0) {
      g_grantsBeforeRefusal = -1;
      g_refused = true;
      g_linesBeforeRefusal = host->calls().evaluate;
      return nullptr;
    }
    if (g_grantsBeforeRefusal > 0) --g_grantsBeforeRefusal;
  }
  return next(size, tag);
}

namespace {

using qztest::Ids;
using qztest::Lines;

// Deep enough that the descendant walk must grow its level stack more than
// once: Root 10000000 > 150 nulls 10000001..10000096; Other 10000097 > Leaf
// 10000098.
hostsim::Scene DeepScene() {
  hostsim::Scene scene;
  std::uint32_t parent = scene.AddNull("Root");
  for (int link = 0; link < 150; ++link) parent = scene.AddNull("Link", parent);
  scene.AddObject("Leaf", scene.AddObject("Other"));
  return scene;
}

struct AllocationCase {
  const char* command;
  Ids selection;
  bool refusedWhileWalking;  // some refusal must fall between two lines
  // Lines sent before each allocation in turn is refused. The walk names an
  // item only once it has room to walk the item's subtree, so a refused growth
  // leaves the item that needed it unnamed.
  std::vector<std::uint64_t> linesAtRefusal;
};

const AllocationCase kAllocationCases[] = {
    {"QZ_Sel_Parent", {0x10000005, 0x10000006, 0x10000098}, false, {0}},
    {"QZ_Add_Parent", {0x10000005, 0x10000006, 0x10000098}, false, {0}},
    // Root's walk takes its levels, then grows them at depths 64 and 128;
    // Other's walk reuses them.
    {"QZ_Sel_Descendant", {0x10000000, 0x10000097}, true, {0, 64, 128}},
    // Two arrays of roots first; then as above, after the line naming Root.
    {"QZ_Sel_Hierarchy", {0x10000096, 0x10000098}, true, {0, 0, 1, 65, 129}},
};

// Valgrind puts its own allocator in front of every program's, this replacement
// included, and tells its client so through the preload list.
bool UnderValgrind() {
  const char* preload = std::getenv("LD_PRELOAD");
  return preload != nullptr && std::strstr(preload, "vgpreload") != nullptr;
}

TEST(AllocationFailure, EveryRefusalEndsTheCommandQuietly) {
  if (UnderValgrind()) GTEST_SKIP() << "valgrind's allocator stands in front of the replaced one";
  const hostsim::Scene scene = DeepScene();
  for (const AllocationCase& c : kAllocationCases) {
    SCOPED_TRACE(c.command);
    g_grantsBeforeRefusal = -1;
    g_allocationsDuringCommand = 0;
    const qztest::CommandRun full =
        qztest::RunCommand(*qztest::HostOn(scene, c.selection, hostsim::UpdateMode::Deferred), c.command);
    const std::uint64_t allocations = g_allocationsDuringCommand;
    // Proves the replacement really stands between the module and the heap.
    ASSERT_GE(allocations, 1u) << "the module's allocations did not reach the replaced allocator";
    ASSERT_EQ(allocations, c.linesAtRefusal.size());
    ASSERT_FALSE(full.lines.empty());

    bool refusedWhileWalking = false;
    for (std::uint64_t refusal = 0; refusal < allocations; ++refusal) {
      SCOPED_TRACE("allocation " + std::to_string(refusal) + " of " + std::to_string(allocations) + " refused");
      g_grantsBeforeRefusal = static_cast<long>(refusal);
      g_refused = false;
      const qztest::CommandRun run =
          qztest::RunCommand(*qztest::HostOn(scene, c.selection, hostsim::UpdateMode::Deferred), c.command);
      ASSERT_TRUE(g_refused);
      EXPECT_EQ(run.code, 0);
      ASSERT_EQ(run.lines.size(), g_linesBeforeRefusal) << "lines were sent after the refusal";
      EXPECT_EQ(run.lines.size(), c.linesAtRefusal[refusal]);
      ASSERT_LE(run.lines.size(), full.lines.size());
      EXPECT_EQ(run.lines, Lines(full.lines.begin(), full.lines.begin() + run.lines.size()));
      if (!run.lines.empty() && run.lines.size() < full.lines.size()) refusedWhileWalking = true;
    }
    g_grantsBeforeRefusal = -1;
    EXPECT_EQ(refusedWhileWalking, c.refusedWhileWalking);
  }
}

}  // namespace

#else

TEST(AllocationFailure, EveryRefusalEndsTheCommandQuietly) {
  GTEST_SKIP() << "native only: a Windows DLL's allocator cannot be replaced from the loading program";
}

#endif
