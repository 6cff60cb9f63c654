# VEXA_PYTHON: an interpreter that has pytest (Debian's python3-pytest), for the tests written in
# Python, else the first Python 3 found. The first one on the path may be another one than the
# system's (pyenv, a virtual environment).
find_package(Python3 COMPONENTS Interpreter)
unset(VEXA_PYTHON)
foreach(candidate IN ITEMS ${Python3_EXECUTABLE} /usr/bin/python3)
    if(EXISTS ${candidate})
        execute_process(COMMAND ${candidate} -c "import pytest" RESULT_VARIABLE missing OUTPUT_QUIET ERROR_QUIET)
        if(missing EQUAL 0)
            set(VEXA_PYTHON ${candidate})
            break()
        endif()
    endif()
endforeach()
if(NOT VEXA_PYTHON)
    set(VEXA_PYTHON ${Python3_EXECUTABLE})
    set(VEXA_PYTHON_HAS_PYTEST OFF)
else()
    set(VEXA_PYTHON_HAS_PYTEST ON)
endif()

# A test in Python run by pytest with the environment given (a list of NAME=VALUE); when no
# interpreter has pytest, a test that fails saying what to install.
function(vexa_add_pytest name)
    cmake_parse_arguments(PARSE_ARGV 1 arg "" "TIMEOUT" "PATHS;ENVIRONMENT")
    if(VEXA_PYTHON_HAS_PYTEST)
        add_test(NAME ${name} COMMAND ${VEXA_PYTHON} -m pytest -q -p no:cacheprovider ${arg_PATHS})
        set_tests_properties(${name} PROPERTIES
            ENVIRONMENT "PYTHONDONTWRITEBYTECODE=1;NO_PROXY=127.0.0.1,localhost;no_proxy=127.0.0.1,localhost;${arg_ENVIRONMENT}")
    else()
        add_test(NAME ${name} COMMAND ${CMAKE_COMMAND} -E echo "no Python 3 with pytest: run scripts/install-deps")
        set_tests_properties(${name} PROPERTIES WILL_FAIL ON)
    endif()
    if(arg_TIMEOUT)
        set_tests_properties(${name} PROPERTIES TIMEOUT ${arg_TIMEOUT})
    endif()
endfunction()
