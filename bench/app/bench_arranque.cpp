// Start-up to the window mapped: the time from starting the real nbsms executable (a first start,
// private HOME) until the X server maps its window, against the same for a bare Qt Widgets window
// (bench_ventana_vacia). Both run on a private Xvfb display that this bench starts, with the xcb
// platform; the map is seen as the server's MapNotify, so no polling adds to the figure.
//   bench_arranque [vueltas=7] [otro_nbsms]
// `otro_nbsms`: another nbsms executable measured in the same run (an earlier build, say).
// Linux only, needs Xvfb. Run from a Release build:
//   cmake -S . -B build-rel -G Ninja -DCMAKE_BUILD_TYPE=Release
//   ninja -C build-rel nbsms bench_arranque bench_ventana_vacia
#include "tests/common/carpeta_privada.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QThread>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <poll.h>
#include <vector>
#include <xcb/xcb.h>

namespace {

// Waits for the map of a top-level window that is not a popup; its time in ms, or -1.
double esperarMapa(xcb_connection_t *x, const QElapsedTimer &desde, int limiteMs)
{
    pollfd p{xcb_get_file_descriptor(x), POLLIN, 0};
    while (desde.elapsed() < limiteMs) {
        while (xcb_generic_event_t *e = xcb_poll_for_event(x)) {
            const bool mapa = (e->response_type & 0x7f) == XCB_MAP_NOTIFY &&
                              !reinterpret_cast<xcb_map_notify_event_t *>(e)->override_redirect;
            std::free(e);
            if (mapa)
                return desde.nsecsElapsed() / 1e6;
        }
        poll(&p, 1, 50);
    }
    return -1;
}

void vaciarEventos(xcb_connection_t *x)
{
    while (xcb_generic_event_t *e = xcb_poll_for_event(x))
        std::free(e);
}

std::vector<double> medir(xcb_connection_t *x, const QString &programa, int vueltas,
                          const QStringList &argumentos = {})
{
    std::vector<double> tiempos;
    for (int v = 0; v < vueltas; ++v) {
        vaciarEventos(x);
        QProcess proceso;
        proceso.setStandardOutputFile(QProcess::nullDevice());
        proceso.setStandardErrorFile(QProcess::nullDevice());
        QElapsedTimer reloj;
        reloj.start();
        proceso.start(programa, argumentos);
        const double ms = esperarMapa(x, reloj, 20000);
        proceso.terminate();
        if (!proceso.waitForFinished(15000)) {
            proceso.kill();
            proceso.waitForFinished(5000);
        }
        if (ms < 0) {
            std::fprintf(stderr, "%s: no window within 20 s\n", qPrintable(programa));
            return {};
        }
        // The first start warms the disk cache and the settings; it is not counted.
        if (v > 0)
            tiempos.push_back(ms);
        QThread::msleep(300);
    }
    std::sort(tiempos.begin(), tiempos.end());
    return tiempos;
}

void informar(const char *nombre, const std::vector<double> &t, double base)
{
    if (t.empty())
        return;
    const double mediana = t[t.size() / 2];
    std::printf("%-22s best %7.1f ms  median %7.1f ms", nombre, t.front(), mediana);
    if (base > 0)
        std::printf("  (%.2fx the bare window)", mediana / base);
    std::printf("\n");
}

} // namespace

int main(int argc, char *argv[])
{
    const auto raiz = carpeta_privada::aislar(QStringLiteral("nbsms-bench-arranque"));
    QCoreApplication aplicacion(argc, argv);
    const int vueltas = argc > 1 ? std::max(2, std::atoi(argv[1])) : 7;
    const QString otro = argc > 2 ? QString::fromLocal8Bit(argv[2]) : QString();

    const QByteArray pantalla = ":" + QByteArray::number(90 + int(QCoreApplication::applicationPid() % 100));
    QProcess xvfb;
    xvfb.setStandardOutputFile(QProcess::nullDevice());
    xvfb.setStandardErrorFile(QProcess::nullDevice());
    xvfb.start(QStringLiteral("Xvfb"),
               {QString::fromLatin1(pantalla), QStringLiteral("-nolisten"), QStringLiteral("tcp"),
                QStringLiteral("-screen"), QStringLiteral("0"), QStringLiteral("1280x1024x24")});
    xcb_connection_t *x = nullptr;
    for (int i = 0; i < 100 && !x; ++i) {
        QThread::msleep(50);
        xcb_connection_t *c = xcb_connect(pantalla.constData(), nullptr);
        if (xcb_connection_has_error(c))
            xcb_disconnect(c);
        else
            x = c;
    }
    if (!x) {
        std::fprintf(stderr, "Xvfb did not start on %s\n", pantalla.constData());
        return 1;
    }
    const xcb_screen_t *pantallaX = xcb_setup_roots_iterator(xcb_get_setup(x)).data;
    const uint32_t mascara = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
    xcb_change_window_attributes(x, pantallaX->root, XCB_CW_EVENT_MASK, &mascara);
    xcb_flush(x);
    qputenv("DISPLAY", pantalla);
    qputenv("QT_QPA_PLATFORM", "xcb");

    std::printf("Start-up to the window mapped, %d starts each (the first not counted), Xvfb %s\n", vueltas,
                pantalla.constData());
    const std::vector<double> vacia = medir(x, QStringLiteral(NBSMS_VENTANA_VACIA), vueltas);
    const double base = vacia.empty() ? 0 : vacia[vacia.size() / 2];
    informar("bare Qt window", vacia, 0);
    const std::vector<double> nbsms = medir(x, QStringLiteral(NBSMS_PROGRAMA), vueltas);
    informar("nbsms", nbsms, base);
    // nbsms does without the GL stack; the same bare window without it, for a like comparison.
    const std::vector<double> raster =
        medir(x, QStringLiteral(NBSMS_VENTANA_VACIA), vueltas, {QStringLiteral("--raster")});
    informar("bare window, raster", raster, 0);
    if (!raster.empty() && !nbsms.empty())
        std::printf("%-22s %.2fx the raster-only bare window\n", "nbsms",
                    nbsms[nbsms.size() / 2] / raster[raster.size() / 2]);
    if (!otro.isEmpty())
        informar("nbsms (other build)", medir(x, otro, vueltas), base);

    xcb_disconnect(x);
    xvfb.terminate();
    xvfb.waitForFinished(5000);
    return 0;
}
