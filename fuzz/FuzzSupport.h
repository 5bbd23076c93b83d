#pragma once

#include "tavrine/core/Error.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QGuiApplication>

#include <cstddef>
#include <cstdint>
#include <exception>
#include <memory>

namespace tavrine::fuzz {

// The Qt application object some targets need (SQL drivers and image plugins are found through it). Made once
// per process, before the first input.
inline void ensureApplication(bool gui) {
    if (QCoreApplication::instance())
        return;
    static int argc = 1;
    static char name[] = "tavrine-fuzz";
    static char* argv[] = {name, nullptr};
    if (gui) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        static auto* app = new QGuiApplication(argc, argv);
        (void)app;
    } else {
        static auto* app = new QCoreApplication(argc, argv);
        (void)app;
    }
}

inline QByteArray bytesOf(const uint8_t* data, size_t size) {
    return QByteArray(reinterpret_cast<const char*>(data), qsizetype(size));
}

// A refusal is the expected end of most inputs; its readable texts must still be well formed.
inline void touch(const std::exception& error) {
    if (const auto* own = dynamic_cast<const Error*>(&error)) {
        (void)own->caseName().size();
        (void)own->description().size();
        (void)own->domain().size();
    } else {
        (void)error.what();
    }
}

} // namespace tavrine::fuzz
