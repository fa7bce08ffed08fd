#include "lista/plantilla.h"

namespace lista {

namespace {

bool esApertura(QChar c)
{
    return c == u'[' || c == u'{';
}

// Next closing bracket of each kind at or after a position that only moves forward, so a
// template full of unclosed brackets is still scanned in linear time.
class Cierres
{
public:
    explicit Cierres(QStringView texto) : texto_(texto) {}

    qsizetype despuesDe(qsizetype i, QChar apertura)
    {
        const bool corchete = apertura == u'[';
        qsizetype &prox = corchete ? corchete_ : llave_;
        const QChar cierre = corchete ? QChar(u']') : QChar(u'}');
        if (prox == kNinguno)
            return -1;
        if (prox <= i) {
            qsizetype k = i + 1;
            while (k < texto_.size() && texto_[k] != cierre)
                ++k;
            prox = k < texto_.size() ? k : kNinguno;
        }
        return prox == kNinguno ? -1 : prox;
    }

private:
    static constexpr qsizetype kNinguno = -2;
    QStringView texto_;
    qsizetype corchete_ = -1;
    qsizetype llave_ = -1;
};

template <typename Campos>
MensajeLlenado llenar(QStringView plantilla, const Campos &campos, const BuscadorColumna &buscar)
{
    MensajeLlenado r;
    bool fallo = false;
    r.mensaje.reserve(plantilla.size() + 32);
    Cierres cierres(plantilla);
    qsizetype i = 0;
    const qsizetype n = plantilla.size();
    while (i < n) {
        // Copy the run of ordinary characters up to the next opening bracket at once.
        qsizetype k = i;
        while (k < n && !esApertura(plantilla[k]))
            ++k;
        if (k > i) {
            r.mensaje.append(plantilla.mid(i, k - i));
            i = k;
            continue;
        }
        const QChar apertura = plantilla[i];
        const qsizetype cierre = cierres.despuesDe(i, apertura);
        if (cierre < 0) {
            ++i;
            continue;
        }
        const int d = buscar(plantilla.mid(i + 1, cierre - i - 1));
        if (d < 0) {
            fallo = true;
        } else {
            const QStringView valor = d < campos.size() ? QStringView(campos.at(d)) : QStringView();
            if (apertura == u'{' && valor.isEmpty()) {
                fallo = true;
                r.faltaObligatorio = true;
            }
            r.mensaje.append(valor);
        }
        i = cierre + 1;
    }
    if (fallo)
        r.mensaje.clear();
    r.truncado = cortarMensaje(r.mensaje);
    return r;
}

} // namespace

MensajeLlenado llenarPlantilla(QStringView plantilla, const QStringList &campos,
                               const BuscadorColumna &buscar)
{
    return llenar(plantilla, campos, buscar);
}

MensajeLlenado llenarPlantilla(QStringView plantilla, const QVector<QStringView> &campos,
                               const BuscadorColumna &buscar)
{
    return llenar(plantilla, campos, buscar);
}

bool cortarMensaje(QString &texto, int largo)
{
    if (texto.size() <= largo)
        return false;
    int corte = largo;
    if (corte > 0 && texto.at(corte - 1).isHighSurrogate() && texto.at(corte).isLowSurrogate())
        --corte;
    texto.truncate(corte);
    return true;
}

QString verificarCampos(QStringView plantilla, const BuscadorColumna &buscar)
{
    Cierres cierres(plantilla);
    for (qsizetype i = 0; i < plantilla.size(); ++i) {
        const QChar c = plantilla[i];
        if (!esApertura(c))
            continue;
        const qsizetype cierre = cierres.despuesDe(i, c);
        if (cierre < 0)
            continue;
        const QStringView nombre = plantilla.mid(i + 1, cierre - i - 1);
        if (buscar(nombre) < 0)
            return nombre.toString();
    }
    return QStringLiteral("true");
}

} // namespace lista
