/* A host that lies in another folder than the engine libraries: loads each one by its full
   path with plain LoadLibraryW, as the framework's hosts do, and finds EngineGetType in it.
   Says which library fails and why. Usage: load_library DLL... */
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#include <stdio.h>

int wmain(int argc, wchar_t** argv) {
  int i, failed = 0;
  if (argc < 2) return 2;
  for (i = 1; i < argc; ++i) {
    HMODULE lib = LoadLibraryW(argv[i]);
    if (!lib) {
      printf("%ls: cannot be loaded: error %lu\n", argv[i], (unsigned long)GetLastError());
      failed = 1;
      continue;
    }
    if (!GetProcAddress(lib, "EngineGetType")) {
      printf("%ls: no EngineGetType\n", argv[i]);
      failed = 1;
    }
    FreeLibrary(lib);
  }
  if (!failed) printf("%d libraries loaded\n", argc - 1);
  return failed;
}
