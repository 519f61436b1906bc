# Checks the layering of the source tree by its #include lines.
#   cmake -DROOT=<source tree> -P check_layering.cmake
# Fails, naming each file and include, when a folder includes a header from a folder it must not
# see:
#   util/, config/, devices/   nothing from app/ or net/ (plain records and helpers, no sockets,
#                              no window)
#   net/                       nothing from app/
#   devsim/                    nothing from app/, net/ or config/: the simulator is the other side
#                              of the wire and must not share the tool's code for it
# Both include forms count. An include names a project header when the file exists where the
# compiler would find it: beside the including file ("..." only) or under the tree's root, which
# is the libraries' include directory. System headers such as <net/if.h> are therefore not
# mistaken for net/.
# util/ and config/ do not see Qt headers either; the build enforces that (they link no Qt
# target, so no Qt include directory is on their command line), and this check does not repeat it.
cmake_minimum_required(VERSION 3.25)

if(NOT DEFINED ROOT OR NOT IS_DIRECTORY "${ROOT}")
    message(FATAL_ERROR "check_layering: pass the source tree as -DROOT=<dir>")
endif()
file(REAL_PATH "${ROOT}" root)

set(checked_folders util config devices net devsim)
set(forbidden_util app net)
set(forbidden_config app net)
set(forbidden_devices app net)
set(forbidden_net app)
set(forbidden_devsim app net config)

set(source_globs *.h *.hh *.hpp *.inl *.ipp *.c *.cc *.cpp *.cxx)

set(violations)
set(problems)
set(file_count 0)
set(project_include_count 0)

foreach(folder IN LISTS checked_folders)
    if(NOT IS_DIRECTORY "${root}/${folder}")
        list(APPEND problems "${folder}/ is missing: nothing of it can be checked")
        continue()
    endif()
    set(globs)
    foreach(glob IN LISTS source_globs)
        list(APPEND globs "${root}/${folder}/${glob}")
    endforeach()
    file(GLOB_RECURSE sources LIST_DIRECTORIES false ${globs})
    if(NOT sources)
        list(APPEND problems "${folder}/ holds no source files: nothing of it can be checked")
        continue()
    endif()
    list(SORT sources)

    foreach(source IN LISTS sources)
        math(EXPR file_count "${file_count} + 1")
        file(RELATIVE_PATH source_name "${root}" "${source}")
        get_filename_component(source_dir "${source}" DIRECTORY)
        file(STRINGS "${source}" lines REGEX "^[ \t]*#[ \t]*include")
        foreach(line IN LISTS lines)
            if(NOT line MATCHES "^[ \t]*#[ \t]*include[ \t]*([<\"])([^>\"]+)[>\"]")
                continue()
            endif()
            set(form "${CMAKE_MATCH_1}")
            set(name "${CMAKE_MATCH_2}")
            set(found "")
            if(form STREQUAL "\"" AND EXISTS "${source_dir}/${name}"
               AND NOT IS_DIRECTORY "${source_dir}/${name}")
                set(found "${source_dir}/${name}")
            elseif(EXISTS "${root}/${name}" AND NOT IS_DIRECTORY "${root}/${name}")
                set(found "${root}/${name}")
            endif()
            if(found STREQUAL "")
                continue()
            endif()
            file(REAL_PATH "${found}" found)
            file(RELATIVE_PATH found_name "${root}" "${found}")
            if(found_name MATCHES "^\\.\\./" OR NOT found_name MATCHES "/")
                continue()
            endif()
            math(EXPR project_include_count "${project_include_count} + 1")
            string(REGEX REPLACE "/.*" "" found_folder "${found_name}")
            if(found_folder IN_LIST forbidden_${folder})
                string(STRIP "${line}" line)
                list(APPEND violations
                     "${source_name}: ${line} (${folder}/ must not include from ${found_folder}/)")
            endif()
        endforeach()
    endforeach()
endforeach()

foreach(problem IN LISTS problems)
    message("check_layering: ${problem}")
endforeach()
foreach(violation IN LISTS violations)
    message("check_layering: ${violation}")
endforeach()
list(LENGTH violations violation_count)
if(problems OR violation_count GREATER 0)
    message(FATAL_ERROR "check_layering: ${violation_count} include(s) cross a layer")
endif()
message("check_layering: ${file_count} files, ${project_include_count} project includes, "
        "none crosses a layer")
