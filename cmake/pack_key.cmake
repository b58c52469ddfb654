# Checks VELTRANE_PACK_KEY and sets VELTRANE_PACK_KEY_LOWER, the form the client holds. The key
# is the 128 hex characters of X and Y that `veltrane-pack keygen` prints, or several such keys
# separated by ";" (a manifest signed by any of them is taken: an admin moves to a new key over
# two releases). Empty, the program takes unsigned manifests, which only VELTRANE_ALLOW_UNSIGNED
# allows: a players' build without a key would take a host's manifest and program as they come.
# Run on its own (cmake -DVELTRANE_PACK_KEY=... [-DVELTRANE_ALLOW_UNSIGNED=ON] -P
# pack_key.cmake) it prints the held form, which its test uses.
string(LENGTH "${VELTRANE_PACK_KEY}" pack_key_length)
if(pack_key_length EQUAL 0)
  if(NOT VELTRANE_ALLOW_UNSIGNED)
    message(FATAL_ERROR "VELTRANE_PACK_KEY is empty: the program would take any unsigned "
                        "manifest, and the program file it names. Pass the public key of the "
                        "pack's signing key (-DVELTRANE_PACK_KEY=<128 hex characters from "
                        "veltrane-pack keygen>), or -DVELTRANE_ALLOW_UNSIGNED=ON to build a "
                        "program without one on purpose.")
  endif()
else()
  # ";" is CMake's own list separator: the value is the list of keys as it stands.
  set(pack_key_list "${VELTRANE_PACK_KEY}")
  foreach(key IN LISTS pack_key_list)
    string(LENGTH "${key}" key_length)
    if(NOT (key_length EQUAL 128 AND key MATCHES "^[0-9A-Fa-f]+$"))
      message(FATAL_ERROR "VELTRANE_PACK_KEY must hold the 128 hex characters of a public key "
                          "as `veltrane-pack keygen` prints it (X and Y), or several separated "
                          "by \";\"; \"${key}\" has ${key_length} characters")
    endif()
  endforeach()
endif()
string(TOLOWER "${VELTRANE_PACK_KEY}" VELTRANE_PACK_KEY_LOWER)
if(CMAKE_SCRIPT_MODE_FILE STREQUAL CMAKE_CURRENT_LIST_FILE)
  message("key=${VELTRANE_PACK_KEY_LOWER}")
endif()
