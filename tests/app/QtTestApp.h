#pragma once

#include <QApplication>

namespace tunevale::test
{

// The one QApplication of a widget test program, made on first use. It is never destroyed: at exit
// Qt's own globals are already gone, and destroying it then crashes.
inline QApplication& qtApp()
{
    static int argc = 1;
    static char name[] = "tunevale-test";
    static char* argv[] = {name, nullptr};
    static QApplication* app = new QApplication(argc, argv);
    return *app;
}

} // namespace tunevale::test
