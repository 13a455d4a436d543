#pragma once
// An owned ICU converter that writes "?" for what its charset cannot hold. For the text layer's and
// the encodings' .cpp files only (it brings in ICU's header).

#include <unicode/ucnv.h>

#include <memory>

namespace kestrano {

struct IcuConverterCloser {
  void operator()(UConverter* c) const { ucnv_close(c); }
};
using IcuConverter = std::unique_ptr<UConverter, IcuConverterCloser>;

// Null when ICU does not know the name.
inline IcuConverter open_icu_converter(const char* name) {
  UErrorCode status = U_ZERO_ERROR;
  IcuConverter c(ucnv_open(name, &status));
  if (U_FAILURE(status)) return nullptr;
  status = U_ZERO_ERROR;
  ucnv_setSubstChars(c.get(), "?", 1, &status);
  return c;
}

}  // namespace kestrano
