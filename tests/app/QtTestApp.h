#pragma once

#include <QApplication>

namespace tunevale::test
{

// The one QApplication of a widget test program, made on first use.
inline QApplication& qtApp()
{
    static int argc = 1;
    static char name[] = "tunevale-test";
    static char* argv[] = {name, nullptr};
    static QApplication app(argc, argv);
    return app;
}

} // namespace tunevale::test
