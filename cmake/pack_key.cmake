# Checks VELTRANE_PACK_KEY (empty, or the 128 hex characters of X and Y that `veltrane-pack
# keygen` prints) and sets VELTRANE_PACK_KEY_LOWER, the form the client holds. Run on its own
# (cmake -DVELTRANE_PACK_KEY=... -P pack_key.cmake) it prints that form, which its test uses.
string(LENGTH "${VELTRANE_PACK_KEY}" pack_key_length)
if(NOT (pack_key_length EQUAL 0 OR
        (pack_key_length EQUAL 128 AND VELTRANE_PACK_KEY MATCHES "^[0-9A-Fa-f]+$")))
  message(FATAL_ERROR "VELTRANE_PACK_KEY must be empty or the 128 hex characters of a public key "
                      "as `veltrane-pack keygen` prints it (X and Y); it has ${pack_key_length} "
                      "characters: \"${VELTRANE_PACK_KEY}\"")
endif()
string(TOLOWER "${VELTRANE_PACK_KEY}" VELTRANE_PACK_KEY_LOWER)
if(CMAKE_SCRIPT_MODE_FILE STREQUAL CMAKE_CURRENT_LIST_FILE)
  message("key=${VELTRANE_PACK_KEY_LOWER}")
endif()
