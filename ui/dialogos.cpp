#include "ui/dialogos.h"

#include <QCoreApplication>
#include <QFileDialog>
#include <QPushButton>
#include <QQueue>

namespace {
bool g_modoPrueba = false;
QQueue<CuadroMensaje::Boton> g_respuestas;
QList<CuadroMensaje::Mostrado> g_mostrados;
QQueue<QString> g_archivos;
std::function<void()> g_alMostrar;
QList<DialogoArchivo::Pedido> g_pedidos;

CuadroMensaje::Boton respuestaCauta(CuadroMensaje::Botones botones)
{
    if (botones & QMessageBox::Cancel)
        return QMessageBox::Cancel;
    if (botones & QMessageBox::No)
        return QMessageBox::No;
    for (int b = QMessageBox::FirstButton; b <= QMessageBox::LastButton; b <<= 1) {
        if (botones & b)
            return static_cast<CuadroMensaje::Boton>(b);
    }
    return QMessageBox::NoButton;
}
} // namespace

CuadroMensaje::Boton CuadroMensaje::mostrar(const QString &titulo, const QString &texto, Botones botones)
{
    if (!g_modoPrueba) {
        // Nothing is kept: a program that runs for weeks must not grow with every box.
        QMessageBox caja(QMessageBox::NoIcon, titulo, texto, botones, nullptr);
        return static_cast<Boton>(caja.exec());
    }
    // A copy: the action may replace itself while it runs.
    if (const std::function<void()> accion = g_alMostrar)
        accion();
    const Boton respuesta = g_respuestas.isEmpty() ? respuestaCauta(botones) : g_respuestas.dequeue();
    g_mostrados.append({titulo, texto, botones, respuesta});
    return respuesta;
}

CuadroMensaje::Boton CuadroMensaje::mostrarConDetalle(const QString &titulo, const QString &texto,
                                                      Botones botones,
                                                      const std::function<void()> &verDetalle)
{
    if (!g_modoPrueba) {
        QMessageBox caja(QMessageBox::NoIcon, titulo, texto, botones, nullptr);
        QPushButton *detalle = caja.addButton(QCoreApplication::translate("CuadroMensaje", "Ver detalle"),
                                              QMessageBox::ActionRole);
        for (;;) {
            const int respuesta = caja.exec();
            if (caja.clickedButton() != detalle)
                return static_cast<Boton>(respuesta);
            verDetalle();
        }
    }
    for (;;) {
        const Boton respuesta = mostrar(titulo, texto, botones);
        if (respuesta != kVerDetalle)
            return respuesta;
        verDetalle();
    }
}

bool CuadroMensaje::preguntar(const QString &titulo, const QString &texto, const QString &hacer,
                              const QString &volver)
{
    const Botones botones = QMessageBox::Yes | QMessageBox::No;
    if (g_modoPrueba)
        return mostrar(titulo, texto, botones) == QMessageBox::Yes;
    QMessageBox caja(QMessageBox::Question, titulo, texto, botones, nullptr);
    caja.button(QMessageBox::Yes)->setText(hacer);
    caja.button(QMessageBox::No)->setText(volver);
    // Enter and Escape both keep things as they are.
    caja.setDefaultButton(QMessageBox::No);
    caja.setEscapeButton(QMessageBox::No);
    return caja.exec() == QMessageBox::Yes;
}

void CuadroMensaje::activarModoPrueba(bool activo)
{
    g_modoPrueba = activo;
}
bool CuadroMensaje::modoPrueba()
{
    return g_modoPrueba;
}
void CuadroMensaje::fijarAlMostrar(std::function<void()> accion)
{
    g_alMostrar = std::move(accion);
}
void CuadroMensaje::fijarSiguienteRespuesta(Boton respuesta)
{
    g_respuestas.enqueue(respuesta);
}
QList<CuadroMensaje::Mostrado> CuadroMensaje::mostrados()
{
    return g_mostrados;
}

QStringList CuadroMensaje::textosMostrados()
{
    QStringList textos;
    for (const Mostrado &m : g_mostrados)
        textos << m.texto;
    return textos;
}

void CuadroMensaje::limpiar()
{
    g_alMostrar = nullptr;
    g_respuestas.clear();
    g_mostrados.clear();
}

QString DialogoArchivo::abrir(QWidget *padre, const QString &titulo, const QString &carpeta,
                              const QString &filtro)
{
    if (!g_modoPrueba)
        return QFileDialog::getOpenFileName(padre, titulo, carpeta, filtro);
    g_pedidos.append({titulo, carpeta, filtro});
    return g_archivos.isEmpty() ? QString() : g_archivos.dequeue();
}

QString DialogoArchivo::guardar(QWidget *padre, const QString &titulo, const QString &carpeta,
                                const QString &filtro)
{
    if (!g_modoPrueba)
        return QFileDialog::getSaveFileName(padre, titulo, carpeta, filtro);
    g_pedidos.append({titulo, carpeta, filtro});
    return g_archivos.isEmpty() ? QString() : g_archivos.dequeue();
}

void DialogoArchivo::fijarSiguienteArchivo(const QString &ruta)
{
    g_archivos.enqueue(ruta);
}
QList<DialogoArchivo::Pedido> DialogoArchivo::pedidos()
{
    return g_pedidos;
}

void DialogoArchivo::limpiar()
{
    g_archivos.clear();
    g_pedidos.clear();
}
