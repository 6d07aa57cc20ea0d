/* Writes a workbook with libxlsxwriter from lines on standard input, so that a test can
 * say in its own language what goes into each cell and work out what must come out.
 * Fields are separated by tabs; rows and columns are 0-based:
 *   s ROW COL TEXT          a string (shared strings; "\t", "\n" and "\\" escaped as in C)
 *   n ROW COL NUMBER        a number (parsed with strtod, so hex floats are exact)
 *   d ROW COL SERIAL        a number with the date format "yyyy-mm-dd hh:mm:ss.000"
 *   b ROW COL 0|1           a boolean
 *   fn ROW COL FORMULA NUMBER   a formula with its cached number
 *   fs ROW COL FORMULA TEXT     a formula with its cached text
 *   m ROW1 COL1 ROW2 COL2 TEXT  merged cells, the text in the first
 * Or, with arguments "rows N COLUMNS": N rows of COLUMNS numbered cells ("row r col c" as
 * strings in even columns, r * COLUMNS + c as numbers in odd ones) in constant-memory mode.
 * Usage: xlsx_writer_helper FILE [rows N COLUMNS] */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <xlsxwriter.h>

static char *Unescape(char *s) {
  char *out = s, *in = s;
  for (; *in; ++in) {
    if (*in == '\\' && in[1]) {
      ++in;
      *out++ = *in == 't' ? '\t' : *in == 'n' ? '\n' : *in == 'r' ? '\r' : *in == '1' ? '\x01' : *in;
    } else {
      *out++ = *in;
    }
  }
  *out = 0;
  return s;
}

static int Check(lxw_error e, long line) {
  if (e != LXW_NO_ERROR) fprintf(stderr, "line %ld: %s\n", line, lxw_strerror(e));
  return e == LXW_NO_ERROR;
}

int main(int argc, char **argv) {
  if (argc != 2 && argc != 5) {
    fprintf(stderr, "usage: %s FILE [rows N COLUMNS]\n", argv[0]);
    return 2;
  }
  lxw_workbook_options options = {0};
  options.constant_memory = argc == 5;
  lxw_workbook *book = workbook_new_opt(argv[1], &options);
  lxw_worksheet *sheet = workbook_add_worksheet(book, NULL);
  int ok = 1;
  if (argc == 5) {
    long rows = atol(argv[3]), columns = atol(argv[4]);
    char text[64];
    for (long r = 0; r < rows && ok; ++r)
      for (long c = 0; c < columns && ok; ++c) {
        if (c % 2 == 0) {
          snprintf(text, sizeof text, "row %ld col %ld", r, c);
          ok = Check(worksheet_write_string(sheet, (lxw_row_t)r, (lxw_col_t)c, text, NULL), r);
        } else {
          ok = Check(worksheet_write_number(sheet, (lxw_row_t)r, (lxw_col_t)c, (double)(r * columns + c), NULL), r);
        }
      }
    return workbook_close(book) == LXW_NO_ERROR && ok ? 0 : 1;
  }
  lxw_format *date = workbook_add_format(book);
  format_set_num_format(date, "yyyy-mm-dd hh:mm:ss.000");
  char line[65536];
  long n = 0;
  while (ok && fgets(line, sizeof line, stdin)) {
    ++n;
    line[strcspn(line, "\r\n")] = 0;
    char *f[7] = {0};
    int k = 0;
    for (char *p = line; p && k < 7; ++k) {
      f[k] = p;
      p = strchr(p, '\t');
      if (p) *p++ = 0;
    }
    if (k < 4) continue;
    lxw_row_t r = (lxw_row_t)atol(f[1]);
    lxw_col_t c = (lxw_col_t)atol(f[2]);
    if (!strcmp(f[0], "s")) ok = Check(worksheet_write_string(sheet, r, c, Unescape(f[3]), NULL), n);
    else if (!strcmp(f[0], "n")) ok = Check(worksheet_write_number(sheet, r, c, strtod(f[3], NULL), NULL), n);
    else if (!strcmp(f[0], "d")) ok = Check(worksheet_write_number(sheet, r, c, strtod(f[3], NULL), date), n);
    else if (!strcmp(f[0], "b")) ok = Check(worksheet_write_boolean(sheet, r, c, atoi(f[3]), NULL), n);
    else if (!strcmp(f[0], "fn") && k >= 5)
      ok = Check(worksheet_write_formula_num(sheet, r, c, f[3], NULL, strtod(f[4], NULL)), n);
    else if (!strcmp(f[0], "fs") && k >= 5)
      ok = Check(worksheet_write_formula_str(sheet, r, c, f[3], NULL, Unescape(f[4])), n);
    else if (!strcmp(f[0], "m") && k >= 6)
      ok = Check(worksheet_merge_range(sheet, r, c, (lxw_row_t)atol(f[3]), (lxw_col_t)atol(f[4]), Unescape(f[5]), NULL), n);
    else {
      fprintf(stderr, "line %ld: unknown command %s\n", n, f[0]);
      ok = 0;
    }
  }
  return workbook_close(book) == LXW_NO_ERROR && ok ? 0 : 1;
}
