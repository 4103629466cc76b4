#pragma once

namespace tunevale::test
{

// The one Qt application object of a test program, of the kind it needs (QCoreApplication,
// QGuiApplication or QApplication, included by the caller), made on first use. It is never
// destroyed: at exit Qt's own globals are already gone, and tearing it down then crashes.
template <typename Application> Application& qtApplication()
{
    static int argc = 1;
    static char name[] = "tunevale-test";
    static char* argv[] = {name, nullptr};
    static Application* application = new Application(argc, argv);
    return *application;
}

// A base for fixtures whose Qt objects need the application to exist before they are made.
template <typename Application> struct WithQtApplication {
    WithQtApplication() { qtApplication<Application>(); }
};

} // namespace tunevale::test
