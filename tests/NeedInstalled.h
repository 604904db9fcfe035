// Test support: a test that needs something the set-up script (scripts/setup-debian.sh) installs skips
// when it is missing, except in CI (CI set), where everything the script installs must be there and the
// test fails instead: a CI run cannot pass without testing.
#pragma once

#include <cstdlib>
#include <string>

#include <gtest/gtest.h>

// `missing`: what is not installed, for the message; empty when all is.
#define VORLANE_NEED_INSTALLED(missing)                                                                                \
    do {                                                                                                               \
        const std::string missing_ = (missing);                                                                        \
        if (!missing_.empty()) {                                                                                       \
            if (std::getenv("CI"))                                                                                     \
                FAIL() << "not installed: " << missing_ << " (scripts/setup-debian.sh installs it)";                   \
            GTEST_SKIP() << "not installed: " << missing_ << "; scripts/setup-debian.sh installs it";                  \
        }                                                                                                              \
    } while (false)

// The programs a test needs, by name (looked up in PATH) or path; MissingPrograms is in
// tests/wallpaper/ServerProcess.h.
#define VORLANE_NEED_PROGRAMS(...) VORLANE_NEED_INSTALLED(::vorlane::test::MissingPrograms(__VA_ARGS__))
