# The public keys that sign the package list, built into the program.
# CORVANTA_PACKAGE_KEY names a PEM file with one or two public keys; without
# it the build makes a test key pair of its own and embeds its public half.
option(CORVANTA_RELEASE "A release build: only the vendor's package keys are accepted" OFF)
set(CORVANTA_PACKAGE_KEY "" CACHE FILEPATH "PEM file with the one or two public keys that sign the package list")

set(PACKAGE_KEY_HEADER_DIR ${CMAKE_BINARY_DIR}/generated)
file(MAKE_DIRECTORY ${PACKAGE_KEY_HEADER_DIR})
set(PACKAGE_KEYS_HEADER ${PACKAGE_KEY_HEADER_DIR}/embedded_package_keys.h)
set(TEST_SIGNING_KEY_HEADER ${PACKAGE_KEY_HEADER_DIR}/test_signing_key.h)

if(CORVANTA_RELEASE AND NOT CORVANTA_PACKAGE_KEY)
    message(FATAL_ERROR "A release build needs -DCORVANTA_PACKAGE_KEY=<PEM file with the vendor's public keys>")
endif()

if(CORVANTA_PACKAGE_KEY)
    set(CORVANTA_TEST_KEY OFF)
    set(embed_arguments ${CORVANTA_PACKAGE_KEY} ${PACKAGE_KEYS_HEADER})
else()
    set(CORVANTA_TEST_KEY ON)
    set(TEST_KEY_DIR ${CMAKE_BINARY_DIR}/package-signing)
    set(TEST_PRIVATE_KEY ${TEST_KEY_DIR}/test-key.pem)
    set(TEST_PUBLIC_KEY ${TEST_KEY_DIR}/test-key.pub.pem)
    find_program(OPENSSL openssl REQUIRED)
    # Made once per build folder; a reconfigure keeps it.
    if(NOT EXISTS ${TEST_PRIVATE_KEY})
        file(MAKE_DIRECTORY ${TEST_KEY_DIR})
        execute_process(COMMAND ${OPENSSL} ecparam -genkey -name prime256v1 -noout -out ${TEST_PRIVATE_KEY}
                        RESULT_VARIABLE result ERROR_VARIABLE error)
        if(result)
            message(FATAL_ERROR "Could not make the build's test key: ${error}")
        endif()
    endif()
    execute_process(COMMAND ${OPENSSL} ec -in ${TEST_PRIVATE_KEY} -pubout -out ${TEST_PUBLIC_KEY}
                    RESULT_VARIABLE result ERROR_QUIET)
    if(result)
        message(FATAL_ERROR "Could not read the build's test key ${TEST_PRIVATE_KEY}")
    endif()
    set(embed_arguments ${TEST_PUBLIC_KEY} ${PACKAGE_KEYS_HEADER} --test-key ${TEST_PRIVATE_KEY} ${TEST_SIGNING_KEY_HEADER})
endif()

find_package(Python3 REQUIRED COMPONENTS Interpreter)
execute_process(COMMAND ${Python3_EXECUTABLE} ${CMAKE_SOURCE_DIR}/cmake/embed-package-keys.py ${embed_arguments}
                RESULT_VARIABLE result ERROR_VARIABLE error)
if(result)
    message(FATAL_ERROR "${error}")
endif()
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/cmake/embed-package-keys.py)
if(CORVANTA_PACKAGE_KEY)
    set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${CORVANTA_PACKAGE_KEY})
endif()
