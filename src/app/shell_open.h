#pragma once
// Hands a play address to the desktop, which opens it with its default handler.

#include "text/text.h"

namespace kestrano {

// Only http and https addresses with a host are handed on: a row's address comes from the service,
// and anything else (a local path, file://, a custom scheme) could make the desktop run a local
// program. True when the address was handed on.
bool open_with_shell(const Text& address);

}  // namespace kestrano
