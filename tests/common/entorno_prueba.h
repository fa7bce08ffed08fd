#pragma once
// main() for every test executable: a private temporary HOME, XDG dirs and TMPDIR for the
// whole run (so no test reads or writes a real settings store or data folder), the offscreen
// platform, and message boxes / file dialogs answered from the test's queue.

#include "ajustes/ajustes.h"
#include "app/instancia_unica.h"
#include "common/carpeta_privada.h"
#include "ui/dialogos.h"

#include <QApplication>
#include <QByteArray>
#include <QDir>
#include <QTemporaryDir>
#include <QtTest>

#include <cstdlib>

#define NBSMS_TEST_MAIN(Clase)                                                                               \
    int main(int argc, char *argv[])                                                                         \
    {                                                                                                        \
        auto raiz = carpeta_privada::aislar(QStringLiteral("nbsms-prueba"));                                 \
        instancia_unica::fijarAmbitoUsuario();                                                               \
        int resultado = 0;                                                                                   \
        {                                                                                                    \
            QApplication app(argc, argv);                                                                    \
            ajustes::fijarIdentidad();                                                                       \
            CuadroMensaje::activarModoPrueba(true);                                                          \
            QTEST_SET_MAIN_SOURCE_PATH                                                                       \
            Clase prueba;                                                                                    \
            resultado = QTest::qExec(&prueba, argc, argv);                                                   \
        }                                                                                                    \
        raiz.reset();                                                                                        \
        return resultado;                                                                                    \
    }
