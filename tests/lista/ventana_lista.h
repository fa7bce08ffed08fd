#pragma once
// A main window for the list tests: its own temporary folder, a fresh settings store, the
// format of a comma list with a header, and helpers to write list files and answer dialogs.

#include "app/mainwindow.h"
#include "common/entorno_prueba.h"
#include "ui_mainwindow.h"

#include <QComboBox>
#include <QDate>
#include <QSettings>
#include <QTimer>

#include <functional>
#include <memory>

namespace ventana_lista {

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

inline QString hoy()
{
    return QDate::currentDate().toString(QStringLiteral("dd/MM/yyyy"));
}

} // namespace ventana_lista

class VentanaLista
{
protected:
    void reiniciar()
    {
        QSettings().clear();
        CuadroMensaje::limpiar();
        DialogoArchivo::limpiar();
        dir = std::make_unique<QTemporaryDir>();
        w = std::make_unique<MainWindow>();
        ui = w->formulario();
        w->tieneHeader = true;
        w->usarComa = true;
        w->usarTab = false;
        w->columnasDefecto = QStringList{"#1", "#2", "#3", "#4"};
        w->carpetaDatos = QDir(dir->path());
    }

    void liberar()
    {
        w.reset();
        dir.reset();
    }

    QString escribirLista(const QByteArray &bytes, const QString &nombre = QStringLiteral("lista.csv"))
    {
        const QString ruta = dir->filePath(nombre);
        QFile f(ruta);
        if (!f.open(QIODevice::WriteOnly))
            qFatal("cannot write the list");
        f.write(bytes);
        return ruta;
    }

    // Points the window at `ruta` with the given format and runs detection quietly.
    void prepararVentana(const QString &ruta, bool conHeader)
    {
        w->tieneHeader = conHeader;
        ui->ingresoLista->setText(ruta);
        if (conHeader)
            w->detectarColumnasConHeader(ruta, false);
        else
            w->detectarColumnasSinHeader(ruta, false);
    }

    std::unique_ptr<QTemporaryDir> dir;
    std::unique_ptr<MainWindow> w;
    Ui::MainWindow *ui = nullptr;
};
