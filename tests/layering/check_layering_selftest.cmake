# Runs check_layering.cmake on small trees written here: one that keeps every rule, and one per
# way an include can cross a layer. Each bad tree must fail and name the offending include, so
# the check is known to catch what it is there for.
#   cmake -DCHECKER=<check_layering.cmake> -DWORK_DIR=<scratch dir> -P check_layering_selftest.cmake
cmake_minimum_required(VERSION 3.25)

foreach(variable CHECKER WORK_DIR)
    if(NOT DEFINED ${variable})
        message(FATAL_ERROR "check_layering_selftest: pass -D${variable}=...")
    endif()
endforeach()

set(failures)

# A tree where every folder includes only what it may, in every form the checker reads, and where
# net/ and devsim/ include the system header <net/if.h>, which is not net/.
function(write_good_tree dir)
    file(REMOVE_RECURSE "${dir}")
    file(WRITE "${dir}/util/text.h" "#pragma once\n#include <string>\n")
    file(WRITE "${dir}/util/text.cpp" "#include \"util/text.h\"\n#include \"text.h\"\n")
    file(WRITE "${dir}/config/scramble.h" "#pragma once\n#include \"util/text.h\"\n")
    file(WRITE "${dir}/config/scramble.cpp" "#include <config/scramble.h>\n")
    file(WRITE "${dir}/devices/web_server.h" "#pragma once\n#include \"../util/text.h\"\n")
    file(WRITE "${dir}/devices/web_server.cpp"
         "#include \"devices/web_server.h\"\n#include \"util/text.h\"\n")
    file(WRITE "${dir}/net/protocol.h" "#pragma once\n#include \"util/text.h\"\n")
    file(WRITE "${dir}/net/protocol.cpp"
         "#include \"net/protocol.h\"\n#include <net/if.h>\n#include <QObject>\n")
    file(WRITE "${dir}/devsim/device.h" "#pragma once\n#include \"util/text.h\"\n")
    file(WRITE "${dir}/devsim/udp.cpp"
         "#include \"devsim/device.h\"\n#include <net/if.h>\n#include <QCoreApplication>\n")
    file(WRITE "${dir}/app/window.h"
         "#pragma once\n#include \"net/protocol.h\"\n#include \"config/scramble.h\"\n")
    file(WRITE "${dir}/app/window.cpp"
         "#include \"app/window.h\"\n#include \"devices/web_server.h\"\n")
    # Tests may include anything; they are not a layer.
    file(WRITE "${dir}/tests/tst_window.cpp" "#include \"app/window.h\"\n")
endfunction()

function(run_checker dir result_var output_var)
    execute_process(COMMAND "${CMAKE_COMMAND}" -DROOT=${dir} -P "${CHECKER}"
                    RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
    set(${result_var} "${result}" PARENT_SCOPE)
    set(${output_var} "${output}" PARENT_SCOPE)
endfunction()

# expect_pass(<case>): the good tree passes.
function(expect_pass case)
    set(dir "${WORK_DIR}/${case}")
    write_good_tree("${dir}")
    run_checker("${dir}" result output)
    if(NOT result EQUAL 0 OR NOT output MATCHES "none crosses a layer")
        set(failures "${failures};${case}: expected a pass, got exit ${result}:\n${output}"
            PARENT_SCOPE)
    endif()
endfunction()

# expect_fail(<case> <file> <line> <folder>): the good tree with <file> (re)written to hold <line>
# fails, and the checker names <file>, <line> and the folder it must not include from.
function(expect_fail case file line folder)
    set(dir "${WORK_DIR}/${case}")
    write_good_tree("${dir}")
    file(WRITE "${dir}/${file}" "#pragma once\n${line}\n")
    string(REGEX REPLACE "/.*" "" from "${file}")
    string(STRIP "${line}" shown)
    set(expected "${file}: ${shown} (${from}/ must not include from ${folder}/)")
    run_checker("${dir}" result output)
    string(FIND "${output}" "${expected}" at)
    if(result EQUAL 0 OR at EQUAL -1)
        string(CONCAT failure "${case}: expected a failure naming '${expected}', got exit "
                      "${result}:\n${output}")
        set(failures "${failures};${failure}" PARENT_SCOPE)
    endif()
endfunction()

expect_pass(good_tree)

expect_fail(util_includes_app util/text.cpp "#include \"app/window.h\"" app)
expect_fail(util_includes_net_angle util/text.h "#include <net/protocol.h>" net)
expect_fail(config_includes_net config/scramble.cpp "#include \"net/protocol.h\"" net)
expect_fail(devices_includes_app_relative devices/web_server.cpp "#include \"../app/window.h\""
            app)
expect_fail(devices_includes_net_spaced devices/web_server.h "  #  include   \"net/protocol.h\""
            net)
expect_fail(devices_subfolder_includes_app devices/rules/panel.cpp "#include \"app/window.h\"" app)
expect_fail(net_includes_app net/protocol.cpp "#include <app/window.h>" app)
expect_fail(devsim_includes_config devsim/udp.cpp "#include \"config/scramble.h\"" config)
expect_fail(devsim_includes_net devsim/device.h "#include \"net/protocol.h\"" net)
expect_fail(devsim_includes_app devsim/udp.cpp "#include \"app/window.h\" // for the captions" app)

# A folder that has gone (renamed, say) must not pass unchecked.
set(dir "${WORK_DIR}/folder_missing")
write_good_tree("${dir}")
file(REMOVE_RECURSE "${dir}/devices")
run_checker("${dir}" result output)
if(result EQUAL 0 OR NOT output MATCHES "devices/ is missing")
    string(CONCAT failure "folder_missing: expected a failure for the missing devices/, got exit "
                  "${result}:\n${output}")
    list(APPEND failures "${failure}")
endif()

list(FILTER failures EXCLUDE REGEX "^$")
if(failures)
    foreach(failure IN LISTS failures)
        message("check_layering_selftest: ${failure}")
    endforeach()
    message(FATAL_ERROR "check_layering_selftest: the checker missed or mistook a case")
endif()
message("check_layering_selftest: every crossing caught, the good tree passes")
