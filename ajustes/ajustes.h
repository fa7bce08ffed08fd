#pragma once
// Every settings key of the program with its type and default (one table, in ajustes.cpp), the
// store's identity and the data files' names and places. No other file spells a key: readers and
// writers name a Clave, and a read gives the table's default when the key is absent or holds a
// value that does not read as the key's type.

#include <QDir>
#include <QString>
#include <QVariant>

#include <optional>

namespace ajustes {

// Identity under which the per-user settings store is found.
inline constexpr char kOrganizacion[] = "Velquor S.A.";
inline constexpr char kDominio[] = "velquor.com";
inline constexpr char kAplicacion[] = "NBsms";

// The one group that holds every key.
inline constexpr char kGrupo[] = "cfg_lista";

// Marker of a path that was never configured.
inline constexpr char kVacio[] = "vacio";

// Date-column choice that stands for "send on the day of processing"; never a column.
inline constexpr char kInmediato[] = "--inmediato--";

// Data files.
inline constexpr char kCarpetaDatos[] = "NBsms";
inline constexpr char kArchivoSalidas[] = "salidas.csv";
inline constexpr char kArchivoCompactando[] = "compactando.csv";
// Journal of the list run in progress (see lista/diario_corrida.h).
inline constexpr char kArchivoCorrida[] = "corrida_lista.json";
// The records held out of sending because the gateway may have sent them (lista/retencion.h).
inline constexpr char kArchivoEnDuda[] = "en_duda.json";
inline constexpr char kArchivoErrores[] = "errores.csv";
inline constexpr char kArchivoBackup[] = "backup.csv";
inline constexpr char kArchivoRecibidos[] = "sms_recibidos.csv";
// The history of sent, failed and received messages (SQLite).
inline constexpr char kArchivoHistorial[] = "historial.sqlite";
// Rows of the history that could not be written by the end, for the next start (beside it).
inline constexpr char kArchivoHistorialEspera[] = "historial_espera.json";
inline constexpr char kCarpetaAyuda[] = "ayuda";
inline constexpr char kArchivoAyuda[] = "ayuda_home.html";

// Prefix of the first body parameter sent to the gateway.
inline constexpr char kPrefijoClave[] = "key=";
// The default opt-out words and the answer to an opt-out.
inline constexpr char kPalabrasBaja[] = "BAJA, STOP, NO ENVIAR, NO MAS";
inline constexpr char kTextoBaja[] = "Recibimos su pedido de baja: no le enviaremos más mensajes.";
// Schedule mask with all 24 hours allowed, the default of CheckHorarios.
inline constexpr int kTodasLasHoras = 16777215;

// The keys; their names in the store carry a type prefix ("bool_", "str_", "int_").
enum class Clave {
    TieneHeader,      // bool_tiene_header: the list's first line names the columns
    SeparaComillas,   // bool_separa_comillas: fields in double quotes (shown only)
    UsarComa,         // bool_usar_coma: comma separates fields
    UsarTab,          // bool_usar_tab: TAB separates fields (when the comma is off)
    UsarPuntoComa,    // bool_usar_punto_coma: ";" separates fields (when comma and TAB are off)
    ListaNombreFila,  // str_lista_name_fila: path of the current list
    HeaderList,       // str_header_list: the current list's header line as detected
    ColumnaCelular,   // str_columna_celular: column of the mobile number
    ColumnaFecha,     // str_columna_fecha: column of the sending date, or "--inmediato--"
    FormatoSms,       // str_formato_sms: the message template
    IpGateway,        // str_ip_gateway: the gateway's address
    KeyGateway,       // str_key_gateway: the gateway's key, "key=" included
    FolderErrores,    // str_folder_errores: path of the errors file
    FolderBackups,    // str_folder_backups: path of the last list's backup
    FolderInbox,      // str_folder_inbox: path of the received-messages file
    CheckVerifPer,    // bool_check_verif_per: the list watch is on
    StartMinimized,   // bool_start_minimized: start in the tray
    EnvioActivado,    // bool_envio_activado: sending and fetching are switched on
    CheckHorarios,    // int_check_horarios: 24-bit mask of the hours sending is allowed
    Autoarranque,     // bool_iniciar_con_sesion: the session starts the program (mirrors its entry)
    RecibidosVistos,  // int_recibidos_vistos: newest received message seen on its tab (history id)
    RegistroEnDuda,   // str_registro_en_duda: the hold file made for the data folder (its path)
    EsperaReintento,  // int_espera_reintento_ms: first wait before retrying a gateway that failed
    LimiteSilencio,   // int_limite_silencio_ms: longest silence of the gateway within a request
    PlazoRespuesta,   // int_plazo_respuesta_ms: longest whole request to the gateway
    DigitosNumero,    // int_digitos_mismo_numero: two numbers are the same when these last digits are
    PalabrasBaja,     // str_palabras_baja: replies that opt out (comma-separated); empty: none do
    ConfirmarBaja,    // bool_confirmar_baja: an opt-out by reply is answered with TextoBaja
    TextoBaja,        // str_texto_confirmacion_baja: that answer
    BajasEnVigor,     // int_bajas_en_vigor: opt-outs in force as last known (a list that cannot be
                      // read while this is above 0 stops sending)
    GeometriaVentana, // str_geometria_ventana: the main window's size and place (Qt's geometry, base64)
    AnchosHistorial,  // str_anchos_historial: the history table's column widths (header state, base64)
    AnchosBandeja,    // str_anchos_bandeja: the same for the queue table
    AnchosRecibidos,  // str_anchos_recibidos: the same for the received-messages table
    AvisoBandejaDado, // bool_aviso_bandeja_dado: the first close told that NBsms keeps running in the tray
    RitmoGateway,     // int_ritmo_gateway: gateway 1's messages a minute; 0: one a cycle
    TopeHora,         // int_tope_hora: gateway 1's most messages an hour; 0: no cap
    TopeDia,          // int_tope_dia: gateway 1's most messages a day; 0: no cap
    MismoGatewayPorNumero, // bool_mismo_gateway_por_numero: a number goes through the gateway it went before
    // Gateways 2 to kMaxGateways: kCamposGateway keys each, in CampoGateway's order, named as
    // gateway 1's with "_N" (reach them through claveGateway).
    PrimeraDeGateways,
};

// The gateways the program can send through; gateway 1's keys are the first ones above.
inline constexpr int kMaxGateways = 8;
enum class CampoGateway { Ip, Key, Activo, Ritmo, TopeHora, TopeDia };
inline constexpr int kCamposGateway = 6;
// The largest pace (messages a minute) and cap a gateway's keys hold.
inline constexpr int kMaxRitmo = 60000;
inline constexpr int kMaxTope = 10000000;

// The key of `campo` for gateway `numero` (1..kMaxGateways); gateway 1 has no on/off key (it is
// always on: nullopt).
std::optional<Clave> claveGateway(int numero, CampoGateway campo);

// One gateway's settings, as stored.
struct AjustesGateway
{
    int numero = 1;
    QString direccion;
    QString clave;
    bool activo = true;
    int ritmo = 0;    // messages a minute; 0: one a cycle
    int topeHora = 0; // 0: no cap
    int topeDia = 0;  // 0: no cap
};
AjustesGateway leerGateway(int numero);
void escribirGateway(const AjustesGateway &gateway);

// The key's name in the store, and the key of a name (the settings tool's lookup).
const char *nombre(Clave clave);
std::optional<Clave> buscar(const QString &nombre);
QVariant porDefecto(Clave clave);

// One fresh settings object per access, inside the group, released at the end of the call.
// The stored value when it reads as the key's type (bools: true/false/1/0; ints: within the
// key's range), else the default, with one debug line for a value that does not read.
QVariant leer(Clave clave);
bool leerBool(Clave clave);
int leerEntero(Clave clave);
QString leerTexto(Clave clave);
// Path keys: the stored path, or the data file's default place when the key is absent or
// still holds the not-configured marker "vacio".
QString leerRuta(Clave clave);
// The stored value as it is; invalid when the key is absent.
QVariant leerGuardado(Clave clave);
void escribir(Clave clave, const QVariant &valor);
bool contiene(Clave clave);
void borrar(Clave clave);

// Sets organisation name, domain and application name, and takes in a test run's private
// profile (ajustes/aislamiento.h); must run before the first read.
void fijarIdentidad();

// The user's home folder, where the data folder lives: a test run's private one when it has one.
QDir carpetaUsuario();
// The data folder: "NBsms" under the home folder when it exists, else the home folder itself.
QDir carpetaDatos();
// Creates "NBsms" under the home folder if missing, changes into it and reports both paths in
// the debug log; the results of creating and changing are not checked (home serves instead).
QDir prepararCarpetaDatos();
// Default path of a data file: the absolute path of the data folder joined with the name.
QString rutaPorDefecto(const char *nombreArchivo);

// The not-configured marker at start: a path key that holds exactly "vacio" is given its
// default path, which is also stored. Returns the key's path either way.
QString resolverVacio(Clave clave);

} // namespace ajustes
