/* Another process holding a file open: opens FILE with the given sharing ("none" or "all"),
   says "held" on standard output, and keeps the file open until its standard input ends.
   Usage: hold_file FILE none|all */
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#include <stdio.h>
#include <string.h>
#include <wchar.h>

int wmain(int argc, wchar_t** argv) {
  HANDLE file;
  char line[16];
  DWORD share;
  if (argc != 3) return 2;
  share = wcscmp(argv[2], L"all") == 0 ? FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE : 0;
  file = CreateFileW(argv[1], GENERIC_READ | GENERIC_WRITE, share, NULL, OPEN_EXISTING, 0, NULL);
  if (file == INVALID_HANDLE_VALUE) {
    printf("cannot open: %lu\n", (unsigned long)GetLastError());
    return 1;
  }
  printf("held\n");
  fflush(stdout);
  while (fgets(line, sizeof line, stdin)) {
  }
  CloseHandle(file);
  return 0;
}
