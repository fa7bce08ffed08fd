#pragma once
// A main window for the list tests: a fresh settings store and data folder, the format of a comma
// list with a header, and helpers to write list files and answer dialogs. The window keeps its
// data files in the data folder "NBsms" of the test's private home, and the list files go there
// too.

#include "ajustes/reloj.h"
#include "app/mainwindow.h"
#include "common/entorno_prueba.h"
#include "lista/separar_linea.h"
#include "ui_mainwindow.h"

#include <QComboBox>
#include <QSettings>
#include <QTimer>

#include <functional>
#include <memory>

namespace ventana_prueba {

// Runs `responder` on the next modal dialog of type T as soon as its exec() loop is running.
template <typename T> void alAbrirse(std::function<void(T *)> responder)
{
    auto *reloj = new QTimer;
    reloj->setInterval(0);
    QObject::connect(reloj, &QTimer::timeout, [reloj, responder] {
        if (T *d = qobject_cast<T *>(QApplication::activeModalWidget())) {
            reloj->stop();
            reloj->deleteLater();
            responder(d);
        }
    });
    reloj->start();
}

inline QStringList itemsDe(const QComboBox *combo)
{
    QStringList items;
    for (int k = 0; k < combo->count(); ++k)
        items << combo->itemText(k);
    return items;
}

// The date the program gives list rows and manual sends.
inline QString hoy()
{
    return reloj::hoyTexto();
}

} // namespace ventana_prueba

class VentanaPrueba
{
protected:
    // An empty store and data folder, then a window built from them.
    void reiniciar()
    {
        QSettings().clear();
        CuadroMensaje::limpiar();
        DialogoArchivo::limpiar();
        w.reset();
        datos =
            QDir(ajustes::carpetaUsuario().path() + QLatin1Char('/') + QLatin1String(ajustes::kCarpetaDatos));
        datos.removeRecursively();
        ajustes::escribir(ajustes::Clave::TieneHeader, true);
        ajustes::escribir(ajustes::Clave::UsarComa, true);
        ajustes::escribir(ajustes::Clave::UsarTab, false);
        construir();
    }

    void liberar() { w.reset(); }

    // For list runs: an errors file and a backup path in the data folder, and what was shown.
    QString errores() const { return datos.filePath(QStringLiteral("errores.csv")); }
    QString backup() const { return datos.filePath(QStringLiteral("backup.csv")); }
    QStringList textos() const { return CuadroMensaje::textosMostrados(); }
    void reiniciarParaCorridas()
    {
        reiniciar();
        ui->ingresoErrores->setText(errores());
        ui->ingresoBackups->setText(backup());
    }

    // A new window, which reads the list format from the store; what the test set on the old
    // one's widgets and did not store is gone.
    void construir()
    {
        w.reset();
        w = std::make_unique<MainWindow>();
        ui = w->formulario();
    }

    // Stores whether lists have a header and rebuilds the window when that changes it.
    void usarHeader(bool conHeader)
    {
        if (lista::formatoGuardado().tieneHeader == conHeader)
            return;
        ajustes::escribir(ajustes::Clave::TieneHeader, conHeader);
        construir();
    }

    QString salidas() const { return datos.absoluteFilePath(QLatin1String(ajustes::kArchivoSalidas)); }

    // A folder where the outbox goes, so that it cannot be opened.
    void bloquearSalidas()
    {
        QFile::remove(salidas());
        if (!QDir().mkpath(salidas()))
            qFatal("cannot block the outbox");
    }

    QString escribirLista(const QByteArray &bytes, const QString &nombre = QStringLiteral("lista.csv"))
    {
        const QString ruta = datos.filePath(nombre);
        QFile f(ruta);
        if (!f.open(QIODevice::WriteOnly))
            qFatal("cannot write the list");
        f.write(bytes);
        return ruta;
    }

    // Points the window at `ruta` with the given format and runs detection quietly.
    void prepararVentana(const QString &ruta, bool conHeader)
    {
        usarHeader(conHeader);
        ui->ingresoLista->setText(ruta);
        if (conHeader)
            w->detectarColumnasConHeader(ruta, false);
        else
            w->detectarColumnasSinHeader(ruta, false);
    }

    // Steps the preview down to the first data row; the presses it took say which row it showed.
    int pasosHastaLaPrimeraFila()
    {
        int pasos = 0;
        while (ui->SmsListaDown->isEnabled() && pasos < 1000) {
            w->on_SmsListaDown_clicked();
            ++pasos;
        }
        return pasos;
    }

    // The data folder: HOME/NBsms.
    QDir datos;
    std::unique_ptr<MainWindow> w;
    Ui::MainWindow *ui = nullptr;
};
