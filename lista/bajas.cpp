#include "lista/bajas.h"

#include "lista/numero_fecha.h"
#include "lista/separar_linea.h"

#include <cstring>

namespace bajas {

namespace {

bool esDigito(QChar c)
{
    return c >= QLatin1Char('0') && c <= QLatin1Char('9');
}

int acotar(int n)
{
    return qBound(kDigitosMinimo, n, kDigitosMaximo);
}

// The compare form as a number: the last digits' value, with their count above it so that "012"
// and "12" stay apart. False when there is no digit. `anterior` gives the number's characters from its end.
template <typename Anterior> bool claveNumerica(int n, Anterior anterior, quint64 &clave)
{
    quint64 valor = 0;
    quint64 peso = 1;
    int cuenta = 0;
    char c = 0;
    while (cuenta < n && anterior(c)) {
        if (c < '0' || c > '9')
            continue;
        valor += quint64(c - '0') * peso;
        peso *= 10;
        ++cuenta;
    }
    clave = (quint64(cuenta) << 56) | valor;
    return cuenta > 0;
}

bool claveTexto(QStringView numero, int n, quint64 &clave)
{
    qsizetype i = numero.size();
    return claveNumerica(
        n,
        [&](char &c) {
            if (i == 0)
                return false;
            const QChar q = numero.at(--i);
            c = q.unicode() < 128 ? char(q.unicode()) : ' ';
            return true;
        },
        clave);
}

} // namespace

QString digitos(QStringView numero)
{
    QString d;
    d.reserve(int(numero.size()));
    for (const QChar c : numero) {
        if (esDigito(c))
            d.append(c);
    }
    return d;
}

QString claveNumero(QStringView numero, int n)
{
    const QString d = digitos(numero);
    return d.right(acotar(n));
}

bool mismoNumero(QStringView a, QStringView b, int n)
{
    const QString ca = claveNumero(a, n);
    return !ca.isEmpty() && ca == claveNumero(b, n);
}

QString invertido(QStringView digitos)
{
    QString r;
    r.reserve(int(digitos.size()));
    for (qsizetype i = digitos.size(); i > 0; --i)
        r.append(digitos.at(i - 1));
    return r;
}

QString digitosBuscados(QStringView texto, int n)
{
    static const QString separadores = QStringLiteral(" +-./()\u00A0\t");
    bool alguno = false;
    for (const QChar c : texto) {
        if (esDigito(c))
            alguno = true;
        else if (!separadores.contains(c))
            return QString();
    }
    return alguno ? claveNumero(texto, n) : QString();
}

QString plegar(QStringView texto)
{
    const QString descompuesto = texto.toString().normalized(QString::NormalizationForm_KD);
    QString sinMarcas;
    sinMarcas.reserve(descompuesto.size());
    for (const QChar c : descompuesto) {
        if (c.category() != QChar::Mark_NonSpacing)
            sinMarcas.append(c);
    }
    QString plegado = sinMarcas.toCaseFolded().simplified();
    // "Baja." or "¡NO MAS!" is still the word.
    int inicio = 0;
    int fin = plegado.size();
    while (inicio < fin && !plegado.at(inicio).isLetterOrNumber())
        ++inicio;
    while (fin > inicio && !plegado.at(fin - 1).isLetterOrNumber())
        --fin;
    return plegado.mid(inicio, fin - inicio).simplified();
}

QStringList palabras(const QString &ajuste)
{
    QStringList resultado;
    for (const QString &palabra : ajuste.split(QLatin1Char(','))) {
        const QString p = plegar(palabra);
        if (!p.isEmpty() && !resultado.contains(p))
            resultado << p;
    }
    return resultado;
}

bool pideBaja(QStringView mensaje, const QStringList &palabrasPlegadas)
{
    if (palabrasPlegadas.isEmpty())
        return false;
    const QString p = plegar(mensaje);
    return !p.isEmpty() && palabrasPlegadas.contains(p);
}

QStringList numerosDeLista(const QStringList &lineas, int &ignoradas)
{
    ignoradas = 0;
    QStringList numeros;
    if (lineas.isEmpty())
        return numeros;
    const QChar separador = lista::separadorSugerido(lineas.first(), lista::conSeparador({}, QChar(u'\0')));
    const auto numeroDe = [](QStringView celda, QString &numero) {
        QStringView c = celda.trimmed();
        if (c.startsWith(u'\''))
            c = c.mid(1);
        QString limpio;
        if (!lista::limpiarNumero(c, limpio))
            return false;
        numero = c.trimmed().toString();
        return true;
    };
    static const QStringList titulos = {QStringLiteral("numero"), QStringLiteral("celular"),
                                        QStringLiteral("telefono"), QStringLiteral("movil")};
    QVector<QStringView> campos;
    int columna = -1;
    int desde = 0;
    lista::separarLineaEnVistas(lineas.first(), separador, campos);
    for (int i = 0; i < campos.size() && columna < 0; ++i) {
        if (titulos.contains(plegar(campos.at(i)))) {
            columna = i;
            desde = 1;
        }
    }
    QString numero;
    for (int l = desde; l < lineas.size(); ++l) {
        lista::separarLineaEnVistas(lineas.at(l), separador, campos);
        for (int i = 0; i < campos.size() && columna < 0; ++i) {
            if (numeroDe(campos.at(i), numero))
                columna = i;
        }
        if (columna >= 0 && columna < campos.size() && numeroDe(campos.at(columna), numero))
            numeros << numero;
        else
            ++ignoradas;
    }
    return numeros;
}

Lista::Lista(int digitos) : m_digitos(acotar(digitos)) {}

bool Lista::agregar(QStringView numero)
{
    quint64 clave = 0;
    if (!claveTexto(numero, m_digitos, clave) || m_claves.contains(clave))
        return false;
    m_claves.insert(clave);
    return true;
}

void Lista::quitar(QStringView numero)
{
    quint64 clave = 0;
    if (claveTexto(numero, m_digitos, clave))
        m_claves.remove(clave);
}

bool Lista::contiene(QStringView numero) const
{
    quint64 clave = 0;
    return !m_claves.isEmpty() && claveTexto(numero, m_digitos, clave) && m_claves.contains(clave);
}

bool campoNumero(const char *linea, int largo, const char *&desde, const char *&hasta)
{
    const char *fin = linea + largo;
    const char *coma1 = static_cast<const char *>(std::memchr(linea, ',', size_t(largo)));
    if (!coma1)
        return false;
    const char *coma2 = static_cast<const char *>(std::memchr(coma1 + 1, ',', size_t(fin - coma1 - 1)));
    if (!coma2)
        return false;
    desde = coma1 + 1;
    hasta = coma2;
    return true;
}

bool Lista::contieneLinea(const char *linea, int largo) const
{
    if (m_claves.isEmpty())
        return false;
    const char *desde = nullptr;
    const char *p = nullptr;
    if (!campoNumero(linea, largo, desde, p))
        return false;
    quint64 clave = 0;
    const bool hay = claveNumerica(
        m_digitos,
        [&](char &c) {
            if (p == desde)
                return false;
            c = *--p;
            return true;
        },
        clave);
    return hay && m_claves.contains(clave);
}

} // namespace bajas
