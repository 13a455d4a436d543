// The scans of a works-list answer as it came, on whose word the next page is asked for and the rows are
// made, against the document's reading of the same answer (converted to code page 936, parsed, read by
// path). Input: the UTF-8 answer. Whenever a scan gives facts or fields, the answer must parse and give
// the same ones.

#include "collect/works_page_facts.h"
#include "fuzz_support.h"
#include "web/encoding.h"

using namespace kestrano;
using fuzz::check;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view answer = fuzz::bytes_view(data, size);
  const std::optional<WorksPageFacts> scanned = scan_works_page(answer);
  const std::optional<std::vector<WorkFields>> scanned_works = scan_work_fields(answer);
  check(scanned || !scanned_works, "fields are scanned only where the facts are", answer);
  if (!scanned) return 0;
  JsonDocument document;
  check(document.parse(to_text(convert_charset(to_bytes(answer)))), "a scanned answer parses", answer);
  const std::optional<WorksPageFacts> read = facts_from_document(document);
  check(read.has_value(), "a scanned answer has a readable list", answer);
  check(read->count == scanned->count, "scan and document count the same videos", answer);
  check(read->ids == scanned->ids, "scan and document read the same ids", answer);
  check(read->next_token == scanned->next_token, "scan and document read the same token", answer);
  if (scanned_works) {
    check(*scanned_works == work_fields_from_document(document, read->count), "scan and document read the same rows",
          answer);
  }
  return 0;
}
