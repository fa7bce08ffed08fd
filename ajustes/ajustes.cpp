#include "ajustes/ajustes.h"
#include "ajustes/aislamiento.h"
#include "ajustes/registro.h"

#include <QCoreApplication>
#include <QDebug>
#include <QSettings>

#include <vector>

namespace ajustes {

namespace {

enum class Tipo { Bool, Entero, Texto, Ruta };

struct Definicion
{
    Clave clave;
    const char *nombre;
    Tipo tipo;
    // Bool and Entero: the default; Texto: its text; Ruta: the data file's name.
    const char *texto;
    int numero;
    int minimo;
    int maximo;
};

// clang-format off
const Definicion kTabla[] = {
    {Clave::TieneHeader,     "bool_tiene_header",    Tipo::Bool,   nullptr,             1, 0, 1},
    {Clave::SeparaComillas,  "bool_separa_comillas", Tipo::Bool,   nullptr,             1, 0, 1},
    {Clave::UsarComa,        "bool_usar_coma",       Tipo::Bool,   nullptr,             1, 0, 1},
    {Clave::UsarTab,         "bool_usar_tab",        Tipo::Bool,   nullptr,             0, 0, 1},
    {Clave::UsarPuntoComa,   "bool_usar_punto_coma", Tipo::Bool,   nullptr,             0, 0, 1},
    {Clave::ListaNombreFila, "str_lista_name_fila",  Tipo::Texto,  "",                  0, 0, 0},
    {Clave::HeaderList,      "str_header_list",      Tipo::Texto,  "",                  0, 0, 0},
    {Clave::ColumnaCelular,  "str_columna_celular",  Tipo::Texto,  "",                  0, 0, 0},
    {Clave::ColumnaFecha,    "str_columna_fecha",    Tipo::Texto,  kInmediato,          0, 0, 0},
    {Clave::FormatoSms,      "str_formato_sms",      Tipo::Texto,  "",                  0, 0, 0},
    {Clave::IpGateway,       "str_ip_gateway",       Tipo::Texto,  "",                  0, 0, 0},
    {Clave::KeyGateway,      "str_key_gateway",      Tipo::Texto,  kPrefijoClave,       0, 0, 0},
    {Clave::FolderErrores,   "str_folder_errores",   Tipo::Ruta,   kArchivoErrores,     0, 0, 0},
    {Clave::FolderBackups,   "str_folder_backups",   Tipo::Ruta,   kArchivoBackup,      0, 0, 0},
    {Clave::FolderInbox,     "str_folder_inbox",     Tipo::Ruta,   kArchivoRecibidos,   0, 0, 0},
    {Clave::CheckVerifPer,   "bool_check_verif_per", Tipo::Bool,   nullptr,             0, 0, 1},
    {Clave::StartMinimized,  "bool_start_minimized", Tipo::Bool,   nullptr,             0, 0, 1},
    {Clave::EnvioActivado,   "bool_envio_activado",  Tipo::Bool,   nullptr,             0, 0, 1},
    {Clave::CheckHorarios,   "int_check_horarios",   Tipo::Entero, nullptr, kTodasLasHoras, 0, kTodasLasHoras},
    {Clave::Autoarranque,    "bool_iniciar_con_sesion", Tipo::Bool, nullptr,           0, 0, 1},
    {Clave::RecibidosVistos, "int_recibidos_vistos", Tipo::Entero, nullptr,             0, 0, 2147483647},
    {Clave::RegistroEnDuda,  "str_registro_en_duda", Tipo::Texto,  "",                  0, 0, 0},
    {Clave::EsperaReintento, "int_espera_reintento_ms", Tipo::Entero, nullptr,      30000, 1000, 300000},
    {Clave::LimiteSilencio,  "int_limite_silencio_ms", Tipo::Entero, nullptr,       30000, 100, 600000},
    {Clave::PlazoRespuesta,  "int_plazo_respuesta_ms", Tipo::Entero, nullptr,       60000, 100, 600000},
    {Clave::DigitosNumero,   "int_digitos_mismo_numero", Tipo::Entero, nullptr,        10, 7, 15},
    {Clave::PalabrasBaja,    "str_palabras_baja",    Tipo::Texto,  kPalabrasBaja,       0, 0, 0},
    {Clave::ConfirmarBaja,   "bool_confirmar_baja",  Tipo::Bool,   nullptr,             0, 0, 1},
    {Clave::TextoBaja,       "str_texto_confirmacion_baja", Tipo::Texto, kTextoBaja,    0, 0, 0},
    {Clave::BajasEnVigor,    "int_bajas_en_vigor",   Tipo::Entero, nullptr,             0, 0, 2147483647},
    {Clave::GeometriaVentana, "str_geometria_ventana", Tipo::Texto, "",                0, 0, 0},
    {Clave::AnchosHistorial, "str_anchos_historial", Tipo::Texto,  "",                  0, 0, 0},
    {Clave::AnchosBandeja,   "str_anchos_bandeja",   Tipo::Texto,  "",                  0, 0, 0},
    {Clave::AnchosRecibidos, "str_anchos_recibidos", Tipo::Texto,  "",                  0, 0, 0},
    {Clave::AvisoBandejaDado, "bool_aviso_bandeja_dado", Tipo::Bool, nullptr,           0, 0, 1},
    {Clave::RitmoGateway,    "int_ritmo_gateway",    Tipo::Entero, nullptr,             0, 0, kMaxRitmo},
    {Clave::TopeHora,        "int_tope_hora",        Tipo::Entero, nullptr,             0, 0, kMaxTope},
    {Clave::TopeDia,         "int_tope_dia",         Tipo::Entero, nullptr,             0, 0, kMaxTope},
    {Clave::MismoGatewayPorNumero, "bool_mismo_gateway_por_numero", Tipo::Bool, nullptr, 1, 0, 1},
};

// Gateways 2..N: one row each of these, the name followed by "_N".
const Definicion kCamposDeGateway[kCamposGateway] = {
    {Clave::PrimeraDeGateways, "str_ip_gateway",      Tipo::Texto,  "",            0, 0, 0},
    {Clave::PrimeraDeGateways, "str_key_gateway",     Tipo::Texto,  kPrefijoClave, 0, 0, 0},
    {Clave::PrimeraDeGateways, "bool_gateway_activo", Tipo::Bool,   nullptr,       1, 0, 1},
    {Clave::PrimeraDeGateways, "int_ritmo_gateway",   Tipo::Entero, nullptr,       0, 0, kMaxRitmo},
    {Clave::PrimeraDeGateways, "int_tope_hora",       Tipo::Entero, nullptr,       0, 0, kMaxTope},
    {Clave::PrimeraDeGateways, "int_tope_dia",        Tipo::Entero, nullptr,       0, 0, kMaxTope},
};
// clang-format on

constexpr int kClavesDeGateways = (kMaxGateways - 1) * kCamposGateway;

// The rows of gateways 2..N, built once (their names live as long as the program).
const std::vector<Definicion> &tablaDeGateways()
{
    static const std::vector<Definicion> tabla = [] {
        static std::vector<QByteArray> nombres;
        nombres.reserve(kClavesDeGateways);
        std::vector<Definicion> filas;
        for (int i = 0; i < kClavesDeGateways; ++i) {
            Definicion d = kCamposDeGateway[i % kCamposGateway];
            d.clave = static_cast<Clave>(static_cast<int>(Clave::PrimeraDeGateways) + i);
            nombres.push_back(QByteArray(d.nombre) + '_' + QByteArray::number(i / kCamposGateway + 2));
            d.nombre = nombres.back().constData();
            filas.push_back(d);
        }
        return filas;
    }();
    return tabla;
}

const Definicion &definicion(Clave clave)
{
    for (const Definicion &d : kTabla) {
        if (d.clave == clave)
            return d;
    }
    const int i = static_cast<int>(clave) - static_cast<int>(Clave::PrimeraDeGateways);
    Q_ASSERT(i >= 0 && i < kClavesDeGateways);
    return tablaDeGateways().at(static_cast<size_t>(i));
}

QString nombreEnAlmacen(Clave clave)
{
    return QLatin1String(definicion(clave).nombre);
}

// The value read as the key's type; nullopt when it does not read as one.
std::optional<QVariant> tipado(const Definicion &d, const QVariant &v)
{
    switch (d.tipo) {
    case Tipo::Bool: {
        if (v.type() == QVariant::Bool)
            return v;
        const QString texto = v.toString().trimmed().toLower();
        if (texto == QLatin1String("true") || texto == QLatin1String("1"))
            return QVariant(true);
        if (texto == QLatin1String("false") || texto == QLatin1String("0"))
            return QVariant(false);
        return std::nullopt;
    }
    case Tipo::Entero: {
        bool ok = false;
        const qlonglong n = v.toString().trimmed().toLongLong(&ok);
        if (!ok || n < d.minimo || n > d.maximo)
            return std::nullopt;
        return QVariant(static_cast<int>(n));
    }
    case Tipo::Texto:
    case Tipo::Ruta:
        return QVariant(v.toString());
    }
    return std::nullopt;
}

} // namespace

const char *nombre(Clave clave)
{
    return definicion(clave).nombre;
}

std::optional<Clave> buscar(const QString &nombre)
{
    for (const Definicion &d : kTabla) {
        if (nombre == QLatin1String(d.nombre))
            return d.clave;
    }
    for (const Definicion &d : tablaDeGateways()) {
        if (nombre == QLatin1String(d.nombre))
            return d.clave;
    }
    return std::nullopt;
}

std::optional<Clave> claveGateway(int numero, CampoGateway campo)
{
    Q_ASSERT(numero >= 1 && numero <= kMaxGateways);
    if (numero == 1) {
        switch (campo) {
        case CampoGateway::Ip:
            return Clave::IpGateway;
        case CampoGateway::Key:
            return Clave::KeyGateway;
        case CampoGateway::Activo:
            return std::nullopt;
        case CampoGateway::Ritmo:
            return Clave::RitmoGateway;
        case CampoGateway::TopeHora:
            return Clave::TopeHora;
        case CampoGateway::TopeDia:
            return Clave::TopeDia;
        }
        return std::nullopt;
    }
    return static_cast<Clave>(static_cast<int>(Clave::PrimeraDeGateways) + (numero - 2) * kCamposGateway +
                              static_cast<int>(campo));
}

AjustesGateway leerGateway(int numero)
{
    const auto clave = [numero](CampoGateway campo) { return *claveGateway(numero, campo); };
    AjustesGateway g;
    g.numero = numero;
    g.direccion = leerTexto(clave(CampoGateway::Ip));
    g.clave = leerTexto(clave(CampoGateway::Key));
    g.activo = numero == 1 || leerBool(clave(CampoGateway::Activo));
    g.ritmo = leerEntero(clave(CampoGateway::Ritmo));
    g.topeHora = leerEntero(clave(CampoGateway::TopeHora));
    g.topeDia = leerEntero(clave(CampoGateway::TopeDia));
    return g;
}

void escribirGateway(const AjustesGateway &g)
{
    const auto clave = [&g](CampoGateway campo) { return *claveGateway(g.numero, campo); };
    escribir(clave(CampoGateway::Ip), g.direccion);
    escribir(clave(CampoGateway::Key), g.clave);
    if (g.numero != 1)
        escribir(clave(CampoGateway::Activo), g.activo);
    escribir(clave(CampoGateway::Ritmo), g.ritmo);
    escribir(clave(CampoGateway::TopeHora), g.topeHora);
    escribir(clave(CampoGateway::TopeDia), g.topeDia);
}

QVariant porDefecto(Clave clave)
{
    const Definicion &d = definicion(clave);
    switch (d.tipo) {
    case Tipo::Bool:
        return QVariant(d.numero != 0);
    case Tipo::Entero:
        return QVariant(d.numero);
    case Tipo::Texto:
        return QVariant(QString::fromUtf8(d.texto));
    case Tipo::Ruta:
        return QVariant(rutaPorDefecto(d.texto));
    }
    return QVariant();
}

QVariant leerGuardado(Clave clave)
{
    QSettings s;
    s.beginGroup(QLatin1String(kGrupo));
    QVariant v = s.value(nombreEnAlmacen(clave));
    s.endGroup();
    return v;
}

QVariant leer(Clave clave)
{
    const QVariant guardado = leerGuardado(clave);
    if (!guardado.isValid())
        return porDefecto(clave);
    if (const std::optional<QVariant> v = tipado(definicion(clave), guardado))
        return *v;
    qCDebug(catAjustes).noquote() << "Ajuste no valido, se usa el valor por defecto:" << nombre(clave)
                                  << guardado.toString();
    return porDefecto(clave);
}

bool leerBool(Clave clave)
{
    return leer(clave).toBool();
}

int leerEntero(Clave clave)
{
    return leer(clave).toInt();
}

QString leerTexto(Clave clave)
{
    return leer(clave).toString();
}

QString leerRuta(Clave clave)
{
    const QString ruta = leerTexto(clave);
    return ruta == QLatin1String(kVacio) ? porDefecto(clave).toString() : ruta;
}

QString resolverVacio(Clave clave)
{
    const QString ruta = leerRuta(clave);
    if (ruta != leerTexto(clave))
        escribir(clave, ruta);
    return ruta;
}

void escribir(Clave clave, const QVariant &valor)
{
    QSettings s;
    s.beginGroup(QLatin1String(kGrupo));
    // The store rewrites and syncs its whole file for every change: the same value again (the
    // window sets its switches as they were at every start) leaves it alone.
    // The store keeps text: a value is the same when its text is.
    const QVariant guardado = s.value(nombreEnAlmacen(clave));
    const bool simple =
        valor.type() == QVariant::Bool || valor.type() == QVariant::Int || valor.type() == QVariant::String;
    if (!simple || !guardado.isValid() || guardado.toString() != valor.toString())
        s.setValue(nombreEnAlmacen(clave), valor);
    s.endGroup();
}

bool contiene(Clave clave)
{
    QSettings s;
    s.beginGroup(QLatin1String(kGrupo));
    const bool hay = s.contains(nombreEnAlmacen(clave));
    s.endGroup();
    return hay;
}

void borrar(Clave clave)
{
    QSettings s;
    s.beginGroup(QLatin1String(kGrupo));
    s.remove(nombreEnAlmacen(clave));
    s.endGroup();
}

void fijarIdentidad()
{
    aislamiento::aplicar();
    QCoreApplication::setOrganizationName(QString::fromUtf8(kOrganizacion));
    QCoreApplication::setOrganizationDomain(QString::fromUtf8(kDominio));
    QCoreApplication::setApplicationName(QString::fromUtf8(kAplicacion));
}

QDir carpetaUsuario()
{
    const QString privada = aislamiento::raiz();
    return privada.isEmpty() ? QDir::home() : QDir(privada + QStringLiteral("/home"));
}

QDir carpetaDatos()
{
    QDir dir = carpetaUsuario();
    dir.cd(QLatin1String(kCarpetaDatos));
    return dir;
}

QDir prepararCarpetaDatos()
{
    QDir dir = carpetaUsuario();
    qCDebug(catAjustes) << "MyDocs str: " << dir.path();
    qCDebug(catAjustes) << "MyDocs path: " << dir.absolutePath();
    dir.mkdir(QLatin1String(kCarpetaDatos));
    dir.cd(QLatin1String(kCarpetaDatos));
    return dir;
}

QString rutaPorDefecto(const char *nombreArchivo)
{
    return carpetaDatos().absoluteFilePath(QString::fromUtf8(nombreArchivo));
}

} // namespace ajustes
