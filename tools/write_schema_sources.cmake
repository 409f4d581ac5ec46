# Sources of the schema writer, as absolute paths (shared by the main and the host build).
get_filename_component(_guisla_root ${CMAKE_CURRENT_LIST_DIR}/.. ABSOLUTE)
set(WRITE_SCHEMA_SOURCES
    ${_guisla_root}/tools/write_schema.cpp
    ${_guisla_root}/src/store/schema_table.cpp
    ${_guisla_root}/src/store/record_codec.cpp
)
