#include "lista/lista_en_disco.h"

#include <QHash>
#include <QTextCodec>

#include <cstring>

namespace lista {

namespace {

constexpr uint kSemillaSuma = 0x4C495354u;
const char kMarcaUtf8[] = "\xEF\xBB\xBF";

QTextCodec *utf8()
{
    return QTextCodec::codecForMib(106);
}

bool esAscii(const char *p, qint64 n)
{
    qint64 i = 0;
    for (; i + 8 <= n; i += 8) {
        quint64 palabra;
        std::memcpy(&palabra, p + i, 8);
        if (palabra & 0x8080808080808080ull)
            return false;
    }
    for (; i < n; ++i) {
        if (uchar(p[i]) & 0x80)
            return false;
    }
    return true;
}

// The code units of a file with a UTF-16 or UTF-32 byte-order mark.
struct Unidades
{
    int largo = 1; // bytes a unit; 1 for the byte-wide encodings
    bool grande = false;

    quint32 en(const char *p) const
    {
        const auto b = [p](int i) { return quint32(uchar(p[i])); };
        if (largo == 2)
            return grande ? (b(0) << 8 | b(1)) : (b(1) << 8 | b(0));
        return grande ? (b(0) << 24 | b(1) << 16 | b(2) << 8 | b(3))
                      : (b(3) << 24 | b(2) << 16 | b(1) << 8 | b(0));
    }
    // Characters the unit decodes to: Qt writes a UTF-32 unit past U+FFFF as a surrogate pair.
    int caracteres(quint32 unidad) const { return largo == 4 && unidad >= 0x10000 ? 2 : 1; }
};

Unidades unidadesDe(const MarcaAncha &ancha)
{
    Unidades u;
    if (!ancha.codec)
        return u;
    const int mib = ancha.codec->mibEnum();
    u.largo = mib == 1018 || mib == 1019 ? 4 : 2;
    u.grande = mib == 1013 || mib == 1018;
    return u;
}

void quitarRetorno(QStringView &linea)
{
    if (!linea.isEmpty() && linea.back() == u'\r')
        linea.chop(1);
}

} // namespace

Lectura ListaEnDisco::abrir(const QString &ruta)
{
    cerrar();
    const Lectura apertura = abrirArchivoRegular(m_archivo, ruta);
    if (apertura != Lectura::Bien) {
        cerrar();
        return apertura;
    }
    qint64 tamano = m_archivo.size();
    if (tamano > kTamanoMaximoLista) {
        cerrar();
        return Lectura::MuyGrande;
    }
    const QByteArray cabeza = m_archivo.peek(4);
    const MarcaAncha ancha = marcaAncha(cabeza);
    const Unidades unidades = unidadesDe(ancha);
    int marca = 0;
    bool porVer = false; // UTF-8 if every byte is, else the 8-bit code page
    if (ancha.codec) {
        marca = ancha.largo;
        m_codec = ancha.codec;
    } else if (cabeza.startsWith(kMarcaUtf8)) {
        marca = 3;
        m_codec = utf8();
    } else {
        porVer = true;
    }

    QTextCodec::ConverterState validacion(QTextCodec::IgnoreHeader);
    bool utf8Valido = true;
    QVector<quint32> inicios;
    inicios.reserve(int(qMin<qint64>(tamano / 32 + 2, kFilasMaximasLista + 1)));
    inicios.append(quint32(marca));
    qint64 saltos = 0;
    // A narrow line's length counts its bytes from the file's first (a UTF-8 mark included); a
    // wide one's, its characters.
    qint64 inicioLinea = 0;
    qint64 caracteres = 0;
    bool larga = false;
    const auto finDeLinea = [&](qint64 siguiente) {
        if (++saltos <= kFilasMaximasLista)
            inicios.append(quint32(siguiente));
    };

    QByteArray bloque(m_bloque, Qt::Uninitialized);
    QVector<uint> sumas;
    for (qint64 pos = 0; pos < tamano && !larga; pos += m_bloque) {
        const qint64 pedidos = qMin<qint64>(m_bloque, tamano - pos);
        const qint64 leidos = m_archivo.seek(pos) ? m_archivo.read(bloque.data(), pedidos) : -1;
        if (leidos < 0) {
            cerrar();
            return Lectura::NoAbre;
        }
        if (leidos < pedidos)
            tamano = pos + leidos; // cut meanwhile: what is there is the list
        const char *datos = bloque.constData();
        sumas.append(qHashBits(datos, size_t(leidos), kSemillaSuma));
        if (unidades.largo == 1) {
            const char *p = datos;
            const char *fin = datos + leidos;
            while (const void *salto = std::memchr(p, '\n', size_t(fin - p))) {
                const qint64 donde = pos + (static_cast<const char *>(salto) - datos);
                larga = larga || donde - inicioLinea > kLargoMaximoLinea;
                finDeLinea(donde + 1);
                inicioLinea = donde + 1;
                p = static_cast<const char *>(salto) + 1;
            }
            larga = larga || pos + leidos - inicioLinea > kLargoMaximoLinea;
            if (porVer && utf8Valido && !(validacion.remainingChars == 0 && esAscii(datos, leidos))) {
                utf8()->toUnicode(datos, int(leidos), &validacion);
                utf8Valido = validacion.invalidChars == 0;
            }
        } else {
            // Blocks start at multiples of every unit's length, and units after the mark.
            qint64 k = pos == 0 ? marca : 0;
            for (; k + unidades.largo <= leidos && !larga; k += unidades.largo) {
                const quint32 u = unidades.en(datos + k);
                if (u == '\n') {
                    finDeLinea(pos + k + unidades.largo);
                    caracteres = 0;
                } else {
                    caracteres += unidades.caracteres(u);
                    larga = caracteres > kLargoMaximoLinea;
                }
            }
        }
        if (leidos < pedidos)
            break;
    }
    if (larga) {
        cerrar();
        return Lectura::LineaMuyLarga;
    }
    if (porVer) {
        const bool esUtf8 = utf8Valido && validacion.remainingChars == 0;
        m_codec = esUtf8 ? utf8() : codecOchoBits();
    }
    m_conEstado = m_codec == utf8() || ancha.codec;
    m_tamano = tamano;
    m_sumas = std::move(sumas);

    // What follows the last line end is a line when it decodes to something (a mark's encoding
    // drops a cut last character or unit).
    const qint64 ultimo = saltos <= kFilasMaximasLista ? inicios.last() : -1;
    bool cola = ultimo >= 0 && ultimo < tamano;
    if (cola && (m_conEstado || unidades.largo > 1)) {
        QByteArray resto;
        cola = m_archivo.seek(ultimo) && !(resto = m_archivo.read(tamano - ultimo)).isEmpty();
        QTextCodec::ConverterState estado(QTextCodec::IgnoreHeader);
        cola = cola && !m_codec->toUnicode(resto.constData(), resto.size(), &estado).isEmpty();
    }
    if (saltos + (cola ? 1 : 0) > kFilasMaximasLista) {
        cerrar();
        return Lectura::MuchasFilas;
    }
    m_cantidad = int(saltos) + (cola ? 1 : 0);
    if (cola)
        inicios.append(quint32(tamano));
    m_inicios = std::move(inicios);
    m_ruta = ruta;
    return Lectura::Bien;
}

void ListaEnDisco::cerrar()
{
    m_archivo.close();
    m_ruta.clear();
    m_tamano = 0;
    m_codec = nullptr;
    m_conEstado = false;
    m_cantidad = 0;
    m_inicios.clear();
    m_sumas.clear();
}

bool ListaEnDisco::decodificar(const char *datos, qint64 largo, int primera, int ultima, QString &texto,
                               QVector<QStringView> &lineas) const
{
    // Whole lines, so the decoder starts and ends between characters, exactly as over the whole
    // file.
    QTextCodec::ConverterState estado(QTextCodec::IgnoreHeader);
    texto =
        m_conEstado ? m_codec->toUnicode(datos, int(largo), &estado) : m_codec->toUnicode(datos, int(largo));
    lineas.clear();
    const QStringView todo(texto);
    qsizetype desde = 0;
    while (desde < todo.size() && lineas.size() < ultima - primera) {
        qsizetype salto = todo.indexOf(u'\n', desde);
        if (salto < 0)
            salto = todo.size();
        QStringView linea = todo.mid(desde, salto - desde);
        quitarRetorno(linea);
        lineas.append(linea);
        desde = salto + 1;
    }
    // The line ends are where the bytes have them in every encoding read here (UTF-8, UTF-16,
    // UTF-32 and code pages that keep ASCII): a mismatch means the file is not what was indexed.
    return lineas.size() == ultima - primera && desde >= todo.size();
}

bool ListaEnDisco::leerBloque(int bloque, QByteArray &destino) const
{
    if (bloque < 0 || bloque >= m_sumas.size())
        return false;
    const qint64 desde = qint64(bloque) * m_bloque;
    const qint64 largo = qMin<qint64>(m_bloque, m_tamano - desde);
    const int antes = destino.size();
    destino.resize(antes + int(largo));
    char *p = destino.data() + antes;
    if (!m_archivo.seek(desde) || m_archivo.read(p, largo) != largo ||
        qHashBits(p, size_t(largo), kSemillaSuma) != m_sumas.at(bloque)) {
        destino.resize(antes);
        return false;
    }
    return true;
}

QString ListaEnDisco::linea(int i) const
{
    if (i < 0 || i >= m_cantidad || !m_archivo.seek(inicio(i)))
        return QString();
    const QByteArray bytes = m_archivo.read(inicio(i + 1) - inicio(i));
    QString texto;
    QVector<QStringView> lineas;
    if (!decodificar(bytes.constData(), bytes.size(), i, i + 1, texto, lineas))
        return QString();
    return lineas.first().toString();
}

ListaEnDisco::Recorrido::Recorrido(const ListaEnDisco &lista, int desde)
    : m_lista(&lista), m_siguiente(qBound(0, desde, lista.m_cantidad)), m_finTramo(m_siguiente)
{
    m_numero = m_siguiente - 1;
    if (m_siguiente < lista.m_cantidad) {
        m_bloque = int(lista.inicio(m_siguiente) / lista.m_bloque);
        m_inicioBytes = qint64(m_bloque) * lista.m_bloque;
    }
}

bool ListaEnDisco::Recorrido::siguiente()
{
    while (!m_cambio && m_enTramo >= m_lineas.size()) {
        if (m_finTramo >= m_lista->m_cantidad || !leerTramo())
            return false;
    }
    if (m_cambio)
        return false;
    m_linea = m_lineas.at(m_enTramo++);
    ++m_numero;
    return true;
}

// The whole lines of the next block or blocks, decoded together.
bool ListaEnDisco::Recorrido::leerTramo()
{
    const ListaEnDisco &l = *m_lista;
    const qint64 desde = l.inicio(m_finTramo);
    const qint64 pasadas = qMin<qint64>(desde - m_inicioBytes, m_bytes.size());
    if (pasadas > 0) {
        m_bytes.remove(0, int(pasadas));
        m_inicioBytes += pasadas;
    }
    int ultima = m_finTramo;
    for (;;) {
        const qint64 finBytes = m_inicioBytes + m_bytes.size();
        while (ultima < l.m_cantidad && l.inicio(ultima + 1) <= finBytes)
            ++ultima;
        if (ultima > m_finTramo)
            break;
        if (!l.leerBloque(m_bloque, m_bytes)) {
            m_cambio = true;
            return false;
        }
        ++m_bloque;
    }
    const char *datos = m_bytes.constData() + (desde - m_inicioBytes);
    if (!l.decodificar(datos, l.inicio(ultima) - desde, m_finTramo, ultima, m_texto, m_lineas)) {
        m_cambio = true;
        return false;
    }
    m_enTramo = 0;
    m_finTramo = ultima;
    return true;
}

} // namespace lista
