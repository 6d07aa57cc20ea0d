// Any file contents under any options: the CSV source opens or refuses the file, and every
// record it reads gives each field's value in every form without a fault.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "csv/csv_engine.h"
#include "fuzz_temp_dir.h"
#include "quiet_events.h"
#include "platform/codepage.h"
#include "platform/error.h"
#include "transport/interfaces.h"
#include "transport/object.h"

namespace {

using ryn::fuzz::QuietEvents;

const char* const kEncodings[] = {"", "GBK", "UTF-8", "UTF-16", "ISO-8859-1", "no such encoding"};

}  // namespace

// Input: a flags byte, a delimiter byte, then the file's bytes. With flag 0x80 the bytes up
// to the first line feed are further options text.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  const uint8_t flags = data[0];
  const char delimiter = static_cast<char>(data[1]);
  std::string contents(reinterpret_cast<const char*>(data + 2), size - 2);
  std::string extra;
  if (flags & 0x80) {
    size_t lf = contents.find('\n');
    extra = contents.substr(0, lf);
    contents = lf == std::string::npos ? std::string() : contents.substr(lf + 1);
    // The extra text must not name another file.
    if (extra.find(ryn::Ansi("文件名")) != std::string::npos) return 0;
  }

  const std::string file = ryn::fuzz::TempFolder() + "/in.csv";
  if (FILE* f = std::fopen(file.c_str(), "wb")) {
    if (!contents.empty() && std::fwrite(contents.data(), 1, contents.size(), f) != contents.size()) std::abort();
    std::fclose(f);
  } else {
    std::abort();
  }

  std::string options = ryn::Ansi("文件名") + "=" + file;
  options += ";\r\n" + ryn::Ansi("分隔符") + "=" + (delimiter == '\t' ? std::string("TAB") : std::string(1, delimiter));
  options += ";\r\n" + ryn::Ansi("列名行") + "=" + ((flags & 1) ? "1" : "0");
  options += ";\r\n" + ryn::Ansi("类型推断") + "=" + ((flags & 2) ? "1" : "0");
  const char* encoding = kEncodings[(flags >> 2) % 6];
  if (*encoding) options += ";\r\n" + ryn::Ansi("编码") + "=" + encoding;
  if (!extra.empty()) options += ";\r\n" + extra;

  ryn::IntfPtr<ryn::TCsvSource> source = ryn::MakeIntf<ryn::TCsvSource>();
  source->SetEvents(ryn::MakeIntf<QuietEvents>().get());
  source->SetOptions(options);
  (void)source->GetOptions();
  if (source->Established()) {
    try {
      (void)source->DataCount();
      const int32_t fields = source->GetFieldCount();
      for (int32_t i = 0; i < fields; ++i) (void)source->GetField(i)->GetName();
      int records = 0;
      for (source->MoveFirst(); !source->IsEof() && records < 10000; source->MoveNext(), ++records) {
        for (int32_t i = 0; i < fields; ++i) {
          ryn::IFieldReader* reader = source->ReaderAt(i);
          if (!reader) std::abort();
          (void)reader->IsEmpty();
          (void)reader->GetAsString();
          (void)reader->GetAsWideString();
          (void)reader->GetAsDouble();
          (void)reader->GetAsInt64();
          (void)reader->GetAsDateTime();
        }
      }
    } catch (const ryn::ERynError&) {
      // A file that turns unreadable part-way is reported as an error of the system.
    }
  }
  source->Fina();
  return 0;
}
