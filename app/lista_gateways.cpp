#include "app/lista_gateways.h"

#include "gateway/protocolo_ngw.h"

#include <QCoreApplication>

#include <algorithm>

namespace lista_gateways {

namespace {

QString tr(const char *texto)
{
    return QCoreApplication::translate("lista_gateways", texto);
}

constexpr ajustes::CampoGateway kCampos[] = {ajustes::CampoGateway::Ip,       ajustes::CampoGateway::Key,
                                             ajustes::CampoGateway::Activo,   ajustes::CampoGateway::Ritmo,
                                             ajustes::CampoGateway::TopeHora, ajustes::CampoGateway::TopeDia};

// A key whose value stays the default is not written: a profile that never set it keeps reading
// as before.
void escribirSiCambia(ajustes::Clave clave, const QVariant &valor)
{
    if (ajustes::contiene(clave) || valor != ajustes::porDefecto(clave))
        ajustes::escribir(clave, valor);
}

QString textoCuenta(int enviados, int tope)
{
    return tope > 0 ? tr("%1 de %2").arg(enviados).arg(tope) : QString::number(enviados);
}

} // namespace

QVector<ajustes::AjustesGateway> leer()
{
    QVector<ajustes::AjustesGateway> lista{ajustes::leerGateway(1)};
    for (int n = 2; n <= ajustes::kMaxGateways; ++n) {
        if (!ajustes::leerTexto(*ajustes::claveGateway(n, ajustes::CampoGateway::Ip)).isEmpty())
            lista.append(ajustes::leerGateway(n));
    }
    return lista;
}

void guardar(const QVector<ajustes::AjustesGateway> &lista, bool mismoGateway)
{
    QVector<bool> presente(ajustes::kMaxGateways + 1, false);
    for (const ajustes::AjustesGateway &g : lista) {
        presente[g.numero] = true;
        if (g.numero != 1) {
            ajustes::escribirGateway(normalizado(g));
            continue;
        }
        escribirSiCambia(ajustes::Clave::RitmoGateway, g.ritmo);
        escribirSiCambia(ajustes::Clave::TopeHora, g.topeHora);
        escribirSiCambia(ajustes::Clave::TopeDia, g.topeDia);
    }
    for (int n = 2; n <= ajustes::kMaxGateways; ++n) {
        if (presente[n])
            continue;
        for (const ajustes::CampoGateway campo : kCampos)
            ajustes::borrar(*ajustes::claveGateway(n, campo));
    }
    escribirSiCambia(ajustes::Clave::MismoGatewayPorNumero, mismoGateway);
}

ajustes::AjustesGateway normalizado(const ajustes::AjustesGateway &gateway)
{
    const protocolo_ngw::Gateway g = protocolo_ngw::gatewayDe(gateway.direccion, gateway.clave);
    ajustes::AjustesGateway n = gateway;
    n.direccion = g.direccion;
    n.clave = g.clave;
    return n;
}

QString revisar(const QVector<ajustes::AjustesGateway> &lista)
{
    QVector<ajustes::AjustesGateway> vistos;
    for (const ajustes::AjustesGateway &g : lista) {
        const protocolo_ngw::Gateway gateway = protocolo_ngw::gatewayDe(g.direccion, g.clave);
        const QString direccion = gateway.direccion.left(100);
        switch (gateway.falla()) {
        case protocolo_ngw::Gateway::Falla::Direccion:
            if (g.numero != 1 && gateway.sinDireccion())
                return tr("Falta la dirección del gateway %1. Escríbala o quite ese gateway de la lista.")
                    .arg(g.numero);
            return (g.numero == 1 ? tr("La dirección del gateway \"%1\" no es válida.\n").arg(direccion)
                                  : tr("La dirección del gateway %1 (\"%2\") no es válida.\n")
                                        .arg(g.numero)
                                        .arg(direccion)) +
                   tr("Escriba solo la IP o el nombre del equipo, y el puerto si hace falta "
                      "(por ejemplo 192.168.0.20:8080).");
        case protocolo_ngw::Gateway::Falla::Clave:
            return g.numero == 1 ? tr("La clave del gateway no es válida: no puede contener \"&\", "
                                      "saltos de línea ni caracteres nulos.")
                                 : tr("La clave del gateway %1 no es válida: no puede contener \"&\", "
                                      "saltos de línea ni caracteres nulos.")
                                       .arg(g.numero);
        case protocolo_ngw::Gateway::Falla::Ninguna:
            break;
        }
        // Two workers on one device would double its pace and split its caps.
        for (const ajustes::AjustesGateway &otro : vistos) {
            if (otro.direccion.compare(gateway.direccion, Qt::CaseInsensitive) == 0)
                return tr("Los gateways %1 y %2 tienen la misma dirección (%3): cada gateway de la "
                          "lista debe ser un equipo distinto.")
                    .arg(otro.numero)
                    .arg(g.numero)
                    .arg(direccion);
        }
        vistos.append(normalizado(g));
    }
    return QString();
}

int numeroLibre(const QVector<ajustes::AjustesGateway> &lista)
{
    for (int n = 2; n <= ajustes::kMaxGateways; ++n) {
        const bool usado = std::any_of(lista.cbegin(), lista.cend(),
                                       [n](const ajustes::AjustesGateway &g) { return g.numero == n; });
        if (!usado)
            return n;
    }
    return 0;
}

QString textoHora(const SituacionEnvio &situacion)
{
    return textoCuenta(situacion.enviadosHora, situacion.topeHora);
}

QString textoDia(const SituacionEnvio &situacion)
{
    return textoCuenta(situacion.enviadosDia, situacion.topeDia);
}

QString textoRitmo(int ritmo)
{
    return ritmo > 0 ? tr("%1 por minuto").arg(ritmo) : tr("Normal");
}

QString textoEstado(const servicio::EstadoGateway &gateway)
{
    if (!gateway.activo)
        return tr("Desactivado");
    if (gateway.direccion.isEmpty())
        return tr("Sin dirección");
    if (gateway.detenidoPorFalla && !gateway.motivoFalla.isEmpty())
        return tr("%1: %2").arg(gateway.texto, gateway.motivoFalla);
    return gateway.texto;
}

bool hayQueMostrar(const QVector<servicio::EstadoGateway> &gateways)
{
    if (gateways.size() > 1)
        return true;
    return std::any_of(gateways.cbegin(), gateways.cend(), [](const servicio::EstadoGateway &g) {
        return g.situacion.ritmo > 0 || g.situacion.topeHora > 0 || g.situacion.topeDia > 0;
    });
}

int enServicio(const QVector<servicio::EstadoGateway> &gateways)
{
    return static_cast<int>(
        std::count_if(gateways.cbegin(), gateways.cend(), [](const servicio::EstadoGateway &g) {
            const SituacionEnvio &s = g.situacion;
            return g.activo && !g.direccion.isEmpty() && !g.detenidoPorFalla && s.topeHasta == 0 &&
                   !s.enPausa && !s.fueraDeHorario && !s.retencionIlegible && !s.retencionSinEscribir &&
                   !s.bajasIlegibles;
        }));
}

} // namespace lista_gateways
