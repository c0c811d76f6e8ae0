// Loading libraries and finding the files that modules were loaded from, with the search order
// the modules rely on: a plain library name is looked for beside the program first.
#pragma once

#include <string>

#include "platform/export.h"

namespace sys {

using LibraryHandle = void*;

// Full absolute path of the ELF object (program or shared library) that contains the address;
// "" when the address lies in no loaded object.
PLENWISE_API std::string ModulePath(const void* addressInModule);

// Full absolute path of the running program, symbolic links resolved; "" on failure.
PLENWISE_API std::string ExecutablePath();

// Loads a library with every symbol bound at once and kept local to it. A plain name (no '/') is
// taken from the program's own directory when a file of that name is there, then from the
// folder of the program's shared libraries, otherwise it goes through the dynamic loader's
// normal search; a name with a '/' is used as it stands.
// nullptr on failure.
PLENWISE_API LibraryHandle LoadLibrary(const std::string& nameOrPath);

// The address of an exported symbol, nullptr when the library or the symbol is missing.
PLENWISE_API void* GetProcAddress(LibraryHandle library, const char* name);

// Releases a handle from LoadLibrary; false for nullptr or when the loader refuses.
PLENWISE_API bool FreeLibrary(LibraryHandle library);

}  // namespace sys
