// What `ryn transfer` tells about a run: the summary line, the dry run's report per
// destination field, and the reject file (CSV) of the records held back for a problem,
// which a later run reads back to resend exactly those records.
#pragma once

#include <cstdint>
#include <fstream>
#include <iosfwd>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "expr/named_host.h"

namespace ryn::tool {

// "3000 read, 2948 written, 52 filtered, 0 rejected, 2 values changed (2 code page)".
std::string SummaryLine(const TRunCounts& counts);

// The dry run's lines per destination field: values, empty ones, problems with the first
// three (record, source value, message). Names are in the process code page.
void PrintColumnReport(std::ostream& out, const TRunCounts& counts, const std::vector<std::string>& destNames);

// One problem as the console shows it, in the process code page.
std::string ProblemText(const TValueProblem& problem, const std::string& destName, const std::string& mapping);

// The reject file: UTF-8 with a byte order mark, RFC 4180 (every value quoted, CR LF),
// one line per problem: record number, destination field, mapping line, message, then the
// source record's values under their field names.
class TRejectsFile {
 public:
  // Creates or empties the file; throws std::runtime_error (UTF-8 text) when it cannot.
  TRejectsFile(const std::string& path, const std::vector<std::string>& sourceNames);
  void Add(const TValueProblem& problem, const std::string& destName, const std::string& mapping,
           const std::vector<std::string>& sourceValues);
  // Flushes and closes; throws std::runtime_error when a write failed.
  void Close();

 private:
  void Row(const std::vector<std::string>& values);

  std::string path_;
  std::ofstream out_;
};

// The record numbers of a reject file (its first column, after the heading line); throws
// std::runtime_error naming the file and line when it is not one.
std::set<int32_t> ReadRejectedRecords(const std::string& path);

}  // namespace ryn::tool
