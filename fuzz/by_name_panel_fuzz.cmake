# The command and everything it calls are compiled into the target, so that
# libFuzzer sees their coverage; hostsim's panel services come from hostsim_host.
file(GLOB QZ_BY_NAME_SOURCES CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/byname/*.cpp)
target_sources(${name} PRIVATE ${QZ_BY_NAME_SOURCES} ${PROJECT_SOURCE_DIR}/selection/command_line.cpp
                               ${PROJECT_SOURCE_DIR}/selection/selection_reader.cpp)
