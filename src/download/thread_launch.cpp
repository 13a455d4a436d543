#include "download/thread_launch.h"

#include <memory>
#include <system_error>
#include <thread>

#if defined(__unix__) || defined(__APPLE__)
#include <pthread.h>
#define KESTRANO_HAS_PTHREAD 1
#endif

namespace kestrano {

#if KESTRANO_HAS_PTHREAD

namespace {

void* run_body(void* heap_body) {
  const std::unique_ptr<std::function<void()>> body(static_cast<std::function<void()>*>(heap_body));
  (*body)();
  return nullptr;
}

}  // namespace

bool launch_thread(std::function<void()> body, std::size_t stack_bytes) {
  pthread_attr_t attributes;
  if (pthread_attr_init(&attributes) != 0) return false;
  bool ready = pthread_attr_setdetachstate(&attributes, PTHREAD_CREATE_DETACHED) == 0;
  if (ready && stack_bytes > 0) ready = pthread_attr_setstacksize(&attributes, stack_bytes) == 0;
  auto heap_body = std::make_unique<std::function<void()>>(std::move(body));
  pthread_t thread;
  const bool created = ready && pthread_create(&thread, &attributes, &run_body, heap_body.get()) == 0;
  pthread_attr_destroy(&attributes);
  if (!created) return false;
  heap_body.release();  // the new thread owns it now
  return true;
}

void name_this_thread(const char* name) {
#if defined(__linux__)
  char short_name[16] = {};
  for (int i = 0; i < 15 && name[i] != '\0'; ++i) short_name[i] = name[i];
  pthread_setname_np(pthread_self(), short_name);
#elif defined(__APPLE__)
  pthread_setname_np(name);
#else
  (void)name;
#endif
}

#else

bool launch_thread(std::function<void()> body, std::size_t /*stack_bytes*/) {
  try {
    std::thread(std::move(body)).detach();
    return true;
  } catch (const std::system_error&) {
    return false;
  }
}

void name_this_thread(const char* /*name*/) {}

#endif

}  // namespace kestrano
