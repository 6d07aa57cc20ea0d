# SQLite compiled in from its amalgamation, for builds with no SQLite library of the target's
# (Debian has none for mingw-w64); scripts/sqlite-amalgamation.sh makes the folder. Threads
# as the engine's callers use it; no extension loading: the engine only reads tables.
add_library(ryn_sqlite3 STATIC ${RYNFILER_SQLITE_AMALGAMATION_DIR}/sqlite3.c)
target_include_directories(ryn_sqlite3 SYSTEM PUBLIC ${RYNFILER_SQLITE_AMALGAMATION_DIR})
target_compile_definitions(ryn_sqlite3 PRIVATE SQLITE_THREADSAFE=1 SQLITE_OMIT_LOAD_EXTENSION SQLITE_DEFAULT_MEMSTATUS=0)
# Its own code is not held to our warnings; -O2 keeps the one large file's compile short.
target_compile_options(ryn_sqlite3 PRIVATE -w -O2)
add_library(SQLite::SQLite3 ALIAS ryn_sqlite3)
