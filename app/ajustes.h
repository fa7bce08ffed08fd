#pragma once
// Every settings key of the program, its default, the store's identity and the data-file names.
// No other file spells a key: readers and writers go through these names.

#include <QDir>
#include <QString>
#include <QVariant>

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
inline constexpr char kArchivoErrores[] = "errores.csv";
inline constexpr char kArchivoBackup[] = "backup.csv";
inline constexpr char kArchivoRecibidos[] = "sms_recibidos.csv";
inline constexpr char kCarpetaAyuda[] = "ayuda";
inline constexpr char kArchivoAyuda[] = "ayuda_home.html";

// Keys (type prefix in the name) and their defaults.
inline constexpr char kTieneHeader[] = "bool_tiene_header";
inline constexpr bool kTieneHeaderDefecto = true;
inline constexpr char kSeparaComillas[] = "bool_separa_comillas";
inline constexpr bool kSeparaComillasDefecto = true;
inline constexpr char kUsarComa[] = "bool_usar_coma";
inline constexpr bool kUsarComaDefecto = true;
inline constexpr char kUsarTab[] = "bool_usar_tab";
inline constexpr bool kUsarTabDefecto = false;

inline constexpr char kListaNombreFila[] = "str_lista_name_fila";
inline constexpr char kHeaderList[] = "str_header_list";
inline constexpr char kColumnaCelular[] = "str_columna_celular";
inline constexpr char kColumnaFecha[] = "str_columna_fecha";
inline constexpr char kColumnaFechaDefecto[] = "--inmediato--";
inline constexpr char kFormatoSms[] = "str_formato_sms";

inline constexpr char kIpGateway[] = "str_ip_gateway";
inline constexpr char kKeyGateway[] = "str_key_gateway";
inline constexpr char kKeyGatewayDefecto[] = "key=";
// Prefix of the first body parameter sent to the gateway.
inline constexpr char kPrefijoClave[] = "key=";

inline constexpr char kFolderErrores[] = "str_folder_errores";
inline constexpr char kFolderBackups[] = "str_folder_backups";
inline constexpr char kFolderInbox[] = "str_folder_inbox";

inline constexpr char kCheckVerifPer[] = "bool_check_verif_per";
inline constexpr bool kCheckVerifPerDefecto = false;
inline constexpr char kStartMinimized[] = "bool_start_minimized";
inline constexpr bool kStartMinimizedDefecto = false;
inline constexpr char kEnvioActivado[] = "bool_envio_activado";
inline constexpr bool kEnvioActivadoDefecto = false;

inline constexpr char kCheckHorarios[] = "int_check_horarios";
// All 24 hours allowed; the dialog and the worker share this default.
inline constexpr int kCheckHorariosDefecto = 16777215;

// One fresh settings object per access, inside the group, released at the end of the call.
QVariant leer(const char *clave, const QVariant &defecto = QVariant());
void escribir(const char *clave, const QVariant &valor);
bool contiene(const char *clave);
// Typed reads: a stored value that does not read as the key's type (a text in a bool key, a
// fraction or a number out of [minimo, maximo] in an int key) gives the default, with one debug
// line, rather than whatever the conversion would make of it.
bool leerBool(const char *clave, bool defecto);
int leerEntero(const char *clave, int defecto, int minimo, int maximo);
// The schedule mask: a valid 24-bit mask or the default.
int leerMascaraHorarios();

// Sets organisation name, domain and application name; must run before the first read.
void fijarIdentidad();

// The data folder: "NBsms" under the home folder when it exists, else the home folder itself.
QDir carpetaDatos();
// Creates "NBsms" under the home folder if missing, changes into it and reports both paths in
// the debug log; the results of creating and changing are not checked (home serves instead).
QDir prepararCarpetaDatos();
// Default path of a data file: the absolute path of the data folder joined with the name.
QString rutaPorDefecto(const char *nombreArchivo);

// The not-configured marker: a value of exactly "vacio" becomes the default path, which is
// also stored under the key. Any other value is returned unchanged and nothing is written.
QString resolverVacio(const QString &valor, const char *clave, const QString &rutaDefecto);

} // namespace ajustes
