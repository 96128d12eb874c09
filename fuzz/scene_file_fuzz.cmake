# The reader is compiled into the target so that libFuzzer sees its coverage.
target_sources(${name} PRIVATE ${PROJECT_SOURCE_DIR}/hostsim/scene_file/scene_file.cpp
                               ${PROJECT_SOURCE_DIR}/hostsim/scene/scene.cpp)
