#pragma once
// The real program as a child process of a test: it never ends by itself, so it must not outlive
// a test that is killed. Started offscreen with this test's private folders and its output merged.

#include <QProcess>
#include <QStringList>

class ProcesoHijo : public QProcess
{
public:
    // The program built beside the tests (NBSMS_BIN_DIR).
    static QString programa();
    // Starts nbsms with `argumentos`; false (with the reason in errorString) if it did not start.
    bool arrancar(const QStringList &argumentos = QStringList(),
                  QProcessEnvironment entorno = QProcessEnvironment::systemEnvironment());
    // Kills it if it still runs, and takes away the single-instance segment a killed program
    // leaves behind, so that the next start is a first instance.
    void matar();
    // Windows: the end of the session as Windows ends a program, the session's two messages to its
    // hidden window and then the end of the process. False when there was no such window.
    bool terminarSesion();

protected:
    void setupChildProcess() override;
};
