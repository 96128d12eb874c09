target_sources(${name} PRIVATE ${PROJECT_SOURCE_DIR}/byname/wildcard_match.cpp)
