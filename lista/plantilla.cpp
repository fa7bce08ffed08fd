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

} // namespace

PlantillaCompilada::PlantillaCompilada(QStringView plantilla, const BuscadorColumna &buscar)
{
    Cierres cierres(plantilla);
    qsizetype i = 0;
    const qsizetype n = plantilla.size();
    while (i < n) {
        // A run of ordinary characters up to the next opening bracket, glued to the text before
        // it when a dropped bracket came between.
        qsizetype k = i;
        while (k < n && !esApertura(plantilla[k]))
            ++k;
        if (k > i) {
            if (m_piezas.isEmpty() || m_piezas.last().campo)
                m_piezas.append(Pieza());
            m_piezas.last().texto.append(plantilla.mid(i, k - i));
            m_largoTexto += int(k - i);
            i = k;
            continue;
        }
        const QChar apertura = plantilla[i];
        const qsizetype cierre = cierres.despuesDe(i, apertura);
        if (cierre < 0) {
            ++i;
            continue;
        }
        Pieza campo;
        campo.campo = true;
        campo.columna = buscar(plantilla.mid(i + 1, cierre - i - 1));
        campo.obligatorio = apertura == u'{';
        m_piezas.append(campo);
        i = cierre + 1;
    }
    m_capacidad = m_largoTexto + 32;
}

template <typename Campos> void PlantillaCompilada::llenarCon(const Campos &campos, MensajeLlenado &r) const
{
    bool fallo = false;
    r.mensaje.resize(0);
    r.mensaje.reserve(m_capacidad);
    r.truncado = false;
    r.faltaObligatorio = false;
    r.resto.resize(0);
    for (const Pieza &p : m_piezas) {
        if (!p.campo) {
            r.mensaje.append(p.texto);
            continue;
        }
        if (p.columna < 0) {
            fallo = true;
            continue;
        }
        const QStringView valor =
            p.columna < campos.size() ? QStringView(campos.at(p.columna)) : QStringView();
        if (p.obligatorio && valor.isEmpty()) {
            fallo = true;
            r.faltaObligatorio = true;
        }
        r.mensaje.append(valor);
    }
    if (fallo)
        r.mensaje.resize(0);
    r.truncado = cortarMensaje(r.mensaje, kLargoMaximoSms, &r.resto);
}

MensajeLlenado PlantillaCompilada::llenar(const QStringList &campos) const
{
    MensajeLlenado r;
    llenarCon(campos, r);
    return r;
}

MensajeLlenado PlantillaCompilada::llenar(const QVector<QStringView> &campos) const
{
    MensajeLlenado r;
    llenarCon(campos, r);
    return r;
}

void PlantillaCompilada::llenar(const QVector<QStringView> &campos, MensajeLlenado &destino) const
{
    llenarCon(campos, destino);
}

int PlantillaCompilada::largoSinCortar(const int *largos, int cantidad) const
{
    int largo = m_largoTexto;
    for (const Pieza &p : m_piezas) {
        if (!p.campo)
            continue;
        if (p.columna < 0)
            return -1;
        const int valor = p.columna < cantidad ? largos[p.columna] : 0;
        if (p.obligatorio && valor == 0)
            return -1;
        largo += valor;
    }
    return largo;
}

MensajeLlenado llenarPlantilla(QStringView plantilla, const QStringList &campos,
                               const BuscadorColumna &buscar)
{
    return PlantillaCompilada(plantilla, buscar).llenar(campos);
}

MensajeLlenado llenarPlantilla(QStringView plantilla, const QVector<QStringView> &campos,
                               const BuscadorColumna &buscar)
{
    return PlantillaCompilada(plantilla, buscar).llenar(campos);
}

bool cortarMensaje(QString &texto, int largo, QString *resto)
{
    if (texto.size() <= largo)
        return false;
    int corte = largo;
    if (corte > 0 && texto.at(corte - 1).isHighSurrogate() && texto.at(corte).isLowSurrogate())
        --corte;
    if (resto)
        *resto = texto.mid(corte);
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
