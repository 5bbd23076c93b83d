#pragma once

// Included by exactly one source file of each executable that embeds the web engine (the application, the tests
// of the web player): it defines a function the address sanitizer calls at start.
//
// Chromium, inside the web engine, frees some objects through a base of another size (it is built to allow
// that), and the sanitizer stops the process on the first one: when the rehearsal's web view is torn down. That
// check is none of our business in the engine's code and the sanitizer cannot scope it to a library, so it is off
// in these executables only; every other check stays on, and every test that does not embed the web engine keeps
// this one for our own code. ASAN_OPTIONS set by whoever runs the program still come on top.
#if defined(__SANITIZE_ADDRESS__)
#define TAVRINE_WEBENGINE_UNDER_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define TAVRINE_WEBENGINE_UNDER_ASAN 1
#endif
#endif

#ifdef TAVRINE_WEBENGINE_UNDER_ASAN
extern "C" const char* __asan_default_options();
extern "C" const char* __asan_default_options() { return "new_delete_type_mismatch=0"; }
#endif
