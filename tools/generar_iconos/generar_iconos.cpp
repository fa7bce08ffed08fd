// Draws the program's compiled-in icons into a folder, and the application icon for the desktop
// menu into an icon theme's folder tree:
//   nbsms-generar-iconos resources/images resources/hicolor
// Every picture is plain geometry (no fonts), so the output is the same on every machine.
// The PNGs have a transparent background; nbsms.ico holds the emblem at 16x16 and 48x48 as
// 32-bit BGRA bitmaps with alpha, the layout every Windows version and Qt's ICO reader accept.

#include <QByteArray>
#include <QColor>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>
#include <QVector>
#include <QtMath>

#include <cstdio>
#include <functional>
#include <initializer_list>

namespace {

using Dibujo = std::function<void(QPainter &)>;

QImage lienzo(int lado)
{
    QImage imagen(lado, lado, QImage::Format_ARGB32);
    imagen.fill(Qt::transparent);
    imagen.setDotsPerMeterX(2835);
    imagen.setDotsPerMeterY(2835);
    return imagen;
}

// Draws on a transparent square; the drawing works in a 'base' x 'base' coordinate space.
QImage dibujar(int lado, qreal base, const Dibujo &dibujo)
{
    QImage imagen = lienzo(lado);
    QPainter p(&imagen);
    p.setRenderHint(QPainter::Antialiasing, true);
    p.scale(lado / base, lado / base);
    dibujo(p);
    p.end();
    return imagen;
}

// --- Envelope with a round badge (tab icons of the sending pages), 267 x 267 ---------------

const QPointF kCentroInsignia(182, 178);
constexpr qreal kRadioInsignia = 64;

void sobreConInsignia(QPainter &p, const Dibujo &simbolo)
{
    QPen trazo(Qt::black, 13, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    p.setPen(trazo);
    p.setBrush(Qt::NoBrush);
    const QRectF sobre(22, 52, 196, 136);
    p.drawRoundedRect(sobre, 10, 10);
    QPolygonF solapa;
    solapa << QPointF(sobre.left() + 6, sobre.top() + 6) << QPointF(sobre.center().x(), sobre.top() + 78)
           << QPointF(sobre.right() - 6, sobre.top() + 6);
    p.drawPolyline(solapa);

    // A transparent ring separates the badge from the envelope's lines.
    p.setCompositionMode(QPainter::CompositionMode_Clear);
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::black);
    p.drawEllipse(kCentroInsignia, kRadioInsignia + 11, kRadioInsignia + 11);
    p.setCompositionMode(QPainter::CompositionMode_SourceOver);
    p.drawEllipse(kCentroInsignia, kRadioInsignia, kRadioInsignia);

    p.save();
    p.translate(kCentroInsignia);
    simbolo(p);
    p.restore();
}

void simboloMas(QPainter &p)
{
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    p.drawRoundedRect(QRectF(-36, -8, 72, 16), 4, 4);
    p.drawRoundedRect(QRectF(-8, -36, 16, 72), 4, 4);
}

void simboloLista(QPainter &p)
{
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    for (int i = -1; i <= 1; ++i) {
        const qreal y = i * 22;
        p.drawEllipse(QPointF(-28, y), 6, 6);
        p.drawRoundedRect(QRectF(-16, y - 6, 52, 12), 4, 4);
    }
}

void flecha(QPainter &p, qreal y, bool haciaDerecha)
{
    const qreal s = haciaDerecha ? 1 : -1;
    p.drawRect(QRectF(s > 0 ? -34 : -12, y - 5, 46, 10));
    QPolygonF punta;
    punta << QPointF(s * 36, y) << QPointF(s * 10, y - 16) << QPointF(s * 10, y + 16);
    p.drawPolygon(punta);
}

void simboloFlechas(QPainter &p)
{
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    flecha(p, -17, true);
    flecha(p, 17, false);
}

// --- Two gears (configuration tab), 128 x 128 -----------------------------------------------

QPainterPath engranaje(QPointF centro, qreal radioExterior, qreal radioInterior, int dientes, qreal radioEje)
{
    QPolygonF contorno;
    const qreal paso = 2 * M_PI / dientes;
    for (int i = 0; i < dientes; ++i) {
        const qreal a = i * paso;
        // Each tooth: rise, flat top, fall, flat root.
        const qreal angulos[] = {a, a + paso * 0.12, a + paso * 0.42, a + paso * 0.54};
        const qreal radios[] = {radioInterior, radioExterior, radioExterior, radioInterior};
        for (int k = 0; k < 4; ++k)
            contorno << centro + QPointF(radios[k] * qCos(angulos[k]), radios[k] * qSin(angulos[k]));
    }
    QPainterPath rueda;
    rueda.addPolygon(contorno);
    rueda.closeSubpath();
    QPainterPath eje;
    eje.addEllipse(centro, radioEje, radioEje);
    return rueda.subtracted(eje);
}

void engranajes(QPainter &p)
{
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::black);
    p.drawPath(engranaje(QPointF(50, 78), 44, 33, 10, 14));
    p.drawPath(engranaje(QPointF(97, 34), 27, 19, 8, 8));
}

// --- Speech bubble with a question mark (help tab), 128 x 128 --------------------------------

void ayuda(QPainter &p)
{
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::black);
    QPainterPath globo;
    globo.addRoundedRect(QRectF(8, 10, 112, 84), 20, 20);
    QPolygonF cola;
    cola << QPointF(28, 86) << QPointF(60, 86) << QPointF(22, 120);
    QPainterPath colaPath;
    colaPath.addPolygon(cola);
    colaPath.closeSubpath();
    p.drawPath(globo.united(colaPath));

    QPainterPath pregunta;
    pregunta.moveTo(48, 38);
    pregunta.arcTo(QRectF(48, 22, 32, 32), 180, -250);
    pregunta.lineTo(64, 64);
    p.setPen(QPen(Qt::white, 10, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Qt::NoBrush);
    p.drawPath(pregunta);
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    p.drawEllipse(QPointF(64, 79), 6.5, 6.5);
}

// --- Triangles and bars -----------------------------------------------------------------------

Dibujo triangulo(std::initializer_list<QPointF> vertices)
{
    const QPolygonF puntos{QVector<QPointF>(vertices)};
    return [puntos](QPainter &p) {
        p.setPen(Qt::NoPen);
        p.setBrush(Qt::black);
        p.drawPolygon(puntos);
    };
}

void pausa(QPainter &p)
{
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::black);
    p.drawRect(QRectF(7, 5, 7, 22));
    p.drawRect(QRectF(18, 5, 7, 22));
}

// --- Application emblem ------------------------------------------------------------------------

// Drawn in a 48 x 48 space: a blue rounded tile with a white envelope.
void emblema(QPainter &p)
{
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x2b, 0x6c, 0xb0));
    p.drawRoundedRect(QRectF(1, 1, 46, 46), 9, 9);
    p.setBrush(Qt::white);
    const QRectF sobre(8, 13, 32, 22);
    p.drawRoundedRect(sobre, 2, 2);
    QPolygonF solapa;
    solapa << QPointF(sobre.left() + 1.5, sobre.top() + 1.5) << QPointF(sobre.center().x(), sobre.top() + 13)
           << QPointF(sobre.right() - 1.5, sobre.top() + 1.5);
    p.setPen(QPen(QColor(0x2b, 0x6c, 0xb0), 2.6, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Qt::NoBrush);
    p.drawPolyline(solapa);
}

// --- ICO writer -------------------------------------------------------------------------------

void agregarU8(QByteArray &b, quint8 v)
{
    b.append(char(v));
}
void agregarU16(QByteArray &b, quint16 v)
{
    agregarU8(b, quint8(v & 0xff));
    agregarU8(b, quint8(v >> 8));
}
void agregarU32(QByteArray &b, quint32 v)
{
    agregarU16(b, quint16(v & 0xffff));
    agregarU16(b, quint16(v >> 16));
}

// One icon image: BITMAPINFOHEADER (height doubled for the AND mask), the BGRA pixels bottom-up
// with straight alpha, then the 1-bit AND mask (set where the pixel is fully transparent).
QByteArray bitmapIco(const QImage &origen)
{
    const QImage img = origen.convertToFormat(QImage::Format_ARGB32);
    const int w = img.width();
    const int h = img.height();
    const int bytesMascara = ((w + 31) / 32) * 4;
    QByteArray b;
    agregarU32(b, 40);
    agregarU32(b, quint32(w));
    agregarU32(b, quint32(2 * h));
    agregarU16(b, 1);
    agregarU16(b, 32);
    agregarU32(b, 0);
    agregarU32(b, quint32(w * h * 4 + bytesMascara * h));
    agregarU32(b, 0);
    agregarU32(b, 0);
    agregarU32(b, 0);
    agregarU32(b, 0);
    for (int y = h - 1; y >= 0; --y) {
        const auto *fila = reinterpret_cast<const QRgb *>(img.constScanLine(y));
        for (int x = 0; x < w; ++x) {
            agregarU8(b, quint8(qBlue(fila[x])));
            agregarU8(b, quint8(qGreen(fila[x])));
            agregarU8(b, quint8(qRed(fila[x])));
            agregarU8(b, quint8(qAlpha(fila[x])));
        }
    }
    for (int y = h - 1; y >= 0; --y) {
        const auto *fila = reinterpret_cast<const QRgb *>(img.constScanLine(y));
        QByteArray mascara(bytesMascara, '\0');
        for (int x = 0; x < w; ++x)
            if (qAlpha(fila[x]) == 0)
                mascara[x / 8] = char(quint8(mascara[x / 8]) | (0x80 >> (x % 8)));
        b.append(mascara);
    }
    return b;
}

QByteArray archivoIco(const QVector<QImage> &imagenes)
{
    QVector<QByteArray> datos;
    for (const QImage &img : imagenes)
        datos << bitmapIco(img);
    QByteArray b;
    agregarU16(b, 0);
    agregarU16(b, 1);
    agregarU16(b, quint16(imagenes.size()));
    quint32 desplazamiento = quint32(6 + 16 * imagenes.size());
    for (int i = 0; i < imagenes.size(); ++i) {
        agregarU8(b, quint8(imagenes[i].width() & 0xff)); // 0 would mean 256
        agregarU8(b, quint8(imagenes[i].height() & 0xff));
        agregarU8(b, 0);
        agregarU8(b, 0);
        agregarU16(b, 1);
        agregarU16(b, 32);
        agregarU32(b, quint32(datos[i].size()));
        agregarU32(b, desplazamiento);
        desplazamiento += quint32(datos[i].size());
    }
    for (const QByteArray &d : datos)
        b.append(d);
    return b;
}

bool guardarPng(const QDir &carpeta, const char *nombre, const QImage &imagen)
{
    const QString ruta = carpeta.filePath(QString::fromLatin1(nombre));
    if (!imagen.save(ruta, "PNG")) {
        std::fprintf(stderr, "no se pudo escribir %s\n", qPrintable(ruta));
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char *argv[])
{
    if (argc != 3) {
        std::fprintf(stderr, "uso: %s <carpeta de iconos> <carpeta del tema hicolor>\n", argv[0]);
        return 2;
    }
    QDir carpeta(QString::fromLocal8Bit(argv[1]));
    if (!carpeta.mkpath(QStringLiteral("."))) {
        std::fprintf(stderr, "no se pudo crear %s\n", argv[1]);
        return 1;
    }
    const QDir tema(QString::fromLocal8Bit(argv[2]));

    bool ok = true;
    ok &= guardarPng(carpeta, "iconos-01.png",
                     dibujar(267, 267, [](QPainter &p) { sobreConInsignia(p, simboloMas); }));
    ok &= guardarPng(carpeta, "iconos-03.png",
                     dibujar(267, 267, [](QPainter &p) { sobreConInsignia(p, simboloLista); }));
    ok &= guardarPng(carpeta, "iconoruvo-04.png",
                     dibujar(267, 267, [](QPainter &p) { sobreConInsignia(p, simboloFlechas); }));
    ok &= guardarPng(carpeta, "Programming-Settings-3-icon.png", dibujar(128, 128, engranajes));
    ok &= guardarPng(carpeta, "1460067265_ic_live_help_48px.png", dibujar(128, 128, ayuda));
    ok &= guardarPng(carpeta, "icon-arrow-up-b.png",
                     dibujar(128, 128, triangulo({{64, 26}, {112, 102}, {16, 102}})));
    ok &= guardarPng(carpeta, "icon-arrow-down-b.png",
                     dibujar(128, 128, triangulo({{16, 26}, {112, 26}, {64, 102}})));
    ok &= guardarPng(carpeta, "icon-play.png", dibujar(24, 24, triangulo({{6, 3}, {21, 12}, {6, 21}})));
    ok &= guardarPng(carpeta, "Pause_Icon.png", dibujar(32, 32, pausa));

    QFile ico(carpeta.filePath(QStringLiteral("nbsms.ico")));
    if (!ico.open(QIODevice::WriteOnly) ||
        ico.write(archivoIco({dibujar(16, 48, emblema), dibujar(48, 48, emblema)})) < 0) {
        std::fprintf(stderr, "no se pudo escribir %s\n", qPrintable(ico.fileName()));
        ok = false;
    }

    // The desktop menu's icon, in the sizes the hicolor theme is looked up at.
    for (int lado : {16, 32, 48, 128, 256}) {
        const QString apps = QStringLiteral("%1x%1/apps").arg(lado);
        if (!tema.mkpath(apps)) {
            std::fprintf(stderr, "no se pudo crear %s\n", qPrintable(tema.filePath(apps)));
            ok = false;
            continue;
        }
        ok &= guardarPng(QDir(tema.filePath(apps)), "nbsms.png", dibujar(lado, 48, emblema));
    }
    return ok ? 0 : 1;
}
