// The settings store: identity, data folder and the not-configured marker.

#include "common/entorno_prueba.h"

#include "ajustes/aislamiento.h"

#include <QSettings>

#ifdef Q_OS_WIN
#include <windows.h>
#endif

class PruebaClaves : public QObject
{
    Q_OBJECT

private slots:
    void identidadYGrupo()
    {
        ajustes::escribir(ajustes::Clave::IpGateway, QStringLiteral("10.0.0.1"));
        QSettings s(QStringLiteral("Velquor S.A."), QStringLiteral("NBsms"));
        QCOMPARE(s.value(QStringLiteral("cfg_lista/str_ip_gateway")).toString(), QStringLiteral("10.0.0.1"));
#ifdef Q_OS_WIN
        // The user's registry, which this run has moved to a key of its own (not the user's):
        // strings and bools as text values, numbers as DWORDs, read back as their keys' types.
        QCOMPARE(s.fileName(), QStringLiteral("\\HKEY_CURRENT_USER\\Software\\Velquor S.A.\\NBsms"));
        QVERIFY(!aislamiento::claveRegistro().isEmpty());
        ajustes::escribir(ajustes::Clave::UsarTab, true);
        ajustes::escribir(ajustes::Clave::CheckHorarios, 255);
        const auto tipo = [](const wchar_t *nombre) {
            DWORD t = 0;
            RegGetValueW(HKEY_CURRENT_USER, L"Software\\Velquor S.A.\\NBsms\\cfg_lista", nombre, RRF_RT_ANY,
                         &t, nullptr, nullptr);
            return t;
        };
        QCOMPARE(tipo(L"str_ip_gateway"), DWORD(REG_SZ));
        QCOMPARE(tipo(L"bool_usar_tab"), DWORD(REG_SZ));
        QCOMPARE(tipo(L"int_check_horarios"), DWORD(REG_DWORD));
        QCOMPARE(ajustes::leer(ajustes::Clave::UsarTab), QVariant(true));
        QCOMPARE(ajustes::leer(ajustes::Clave::CheckHorarios), QVariant(255));
        // In the real per-user hive the value is under the run's own key, never the user's.
        const QString privada =
            aislamiento::claveRegistro() + QStringLiteral("\\Software\\Velquor S.A.\\NBsms\\cfg_lista");
        HKEY propia = nullptr;
        RegOverridePredefKey(HKEY_CURRENT_USER, nullptr);
        wchar_t valor[64] = {};
        DWORD largo = sizeof valor;
        const LSTATUS leido =
            RegGetValueW(HKEY_CURRENT_USER, reinterpret_cast<const wchar_t *>(privada.utf16()),
                         L"str_ip_gateway", RRF_RT_REG_SZ, nullptr, valor, &largo);
        RegOpenKeyExW(HKEY_CURRENT_USER,
                      reinterpret_cast<const wchar_t *>(aislamiento::claveRegistro().utf16()), 0,
                      KEY_ALL_ACCESS, &propia);
        RegOverridePredefKey(HKEY_CURRENT_USER, propia);
        RegCloseKey(propia);
        QCOMPARE(leido, LSTATUS(ERROR_SUCCESS));
        QCOMPARE(QString::fromWCharArray(valor), QStringLiteral("10.0.0.1"));
        ajustes::borrar(ajustes::Clave::UsarTab);
        ajustes::borrar(ajustes::Clave::CheckHorarios);
#else
        // The store is the user's own, inside the test's private config folder.
        QVERIFY(s.fileName().startsWith(qEnvironmentVariable("XDG_CONFIG_HOME")));
#endif
        QCOMPARE(ajustes::leer(ajustes::Clave::UsarTab).toBool(), false);
    }

    void carpetaDatos()
    {
        const QString nbsms = ajustes::carpetaUsuario().path() + QStringLiteral("/NBsms");
        QDir(nbsms).removeRecursively();
        // Without the folder, the home folder itself serves.
        QCOMPARE(ajustes::carpetaDatos().absolutePath(), ajustes::carpetaUsuario().path());
        QCOMPARE(ajustes::prepararCarpetaDatos().absolutePath(), nbsms);
        QVERIFY(QDir(nbsms).exists());
        QCOMPARE(ajustes::rutaPorDefecto(ajustes::kArchivoErrores), nbsms + QStringLiteral("/errores.csv"));
    }

    // "vacio", exactly, is a path never set: read as the data file's default place, and at start
    // replaced by it in the store.
    void marcaVacio_data()
    {
        QTest::addColumn<QString>("guardado");
        QTest::addColumn<bool>("esMarca");
        QTest::newRow("vacio") << "vacio" << true;
        QTest::newRow("ruta") << "/x/mio.csv" << false;
        QTest::newRow("mayusculas") << "Vacio" << false;
        QTest::newRow("con espacio") << "vacio " << false;
        QTest::newRow("vacia") << "" << false;
    }

    void marcaVacio()
    {
        QFETCH(QString, guardado);
        QFETCH(bool, esMarca);
        const QString defecto = ajustes::rutaPorDefecto(ajustes::kArchivoBackup);
        const QString esperado = esMarca ? defecto : guardado;
        ajustes::escribir(ajustes::Clave::FolderBackups, guardado);
        QCOMPARE(ajustes::leerRuta(ajustes::Clave::FolderBackups), esperado);
        QCOMPARE(ajustes::leerTexto(ajustes::Clave::FolderBackups), guardado);
        QCOMPARE(ajustes::resolverVacio(ajustes::Clave::FolderBackups), esperado);
        QCOMPARE(ajustes::leerTexto(ajustes::Clave::FolderBackups), esperado);
    }

    void tablaDeClaves()
    {
        // Absent keys read as the table's defaults; names map back to their keys.
        QSettings().clear();
        QCOMPARE(ajustes::leerBool(ajustes::Clave::TieneHeader), true);
        QCOMPARE(ajustes::leerTexto(ajustes::Clave::ColumnaFecha), QStringLiteral("--inmediato--"));
        QCOMPARE(ajustes::leerTexto(ajustes::Clave::KeyGateway), QStringLiteral("key="));
        QCOMPARE(ajustes::leerEntero(ajustes::Clave::CheckHorarios), ajustes::kTodasLasHoras);
        QVERIFY(!ajustes::leerGuardado(ajustes::Clave::CheckHorarios).isValid());
        QCOMPARE(ajustes::buscar(QStringLiteral("int_check_horarios")), ajustes::Clave::CheckHorarios);
        QVERIFY(!ajustes::buscar(QStringLiteral("int_otra")));
        // Gateways 2..8 are named as gateway 1 with "_N" and read back through the same key.
        QCOMPARE(ajustes::buscar(QStringLiteral("int_tope_dia_8")),
                 ajustes::claveGateway(8, ajustes::CampoGateway::TopeDia));
        QCOMPARE(ajustes::buscar(QStringLiteral("int_ritmo_gateway")), ajustes::Clave::RitmoGateway);
        QVERIFY(!ajustes::buscar(QStringLiteral("str_ip_gateway_9")));
        ajustes::AjustesGateway g;
        g.numero = 3;
        g.direccion = QStringLiteral("10.0.0.3");
        g.activo = false;
        g.ritmo = 600;
        ajustes::escribirGateway(g);
        QCOMPARE(ajustes::leerTexto(*ajustes::buscar(QStringLiteral("str_ip_gateway_3"))), g.direccion);
        const ajustes::AjustesGateway leido = ajustes::leerGateway(3);
        QCOMPARE(leido.activo, false);
        QCOMPARE(leido.ritmo, 600);
        QCOMPARE(ajustes::leerGateway(2).clave, QStringLiteral("key="));
        QCOMPARE(ajustes::leerGateway(2).activo, true);
        QCOMPARE(ajustes::leerBool(ajustes::Clave::MismoGatewayPorNumero), true);
    }

    // An unreadable value means the key's default, never what a conversion makes of it.
    void valoresNoValidos_data()
    {
        QTest::addColumn<QVariant>("guardado");
        QTest::addColumn<int>("mascara");
        QTest::addColumn<bool>("minimizado");
        QTest::newRow("validos") << QVariant(QStringLiteral("255")) << 255 << true;
        QTest::newRow("cero es una mascara") << QVariant(0) << 0 << false;
        QTest::newRow("texto") << QVariant(QStringLiteral("todas")) << ajustes::kTodasLasHoras << false;
        QTest::newRow("fraccion") << QVariant(QStringLiteral("3.5")) << ajustes::kTodasLasHoras << false;
        QTest::newRow("negativo") << QVariant(-1) << ajustes::kTodasLasHoras << false;
        QTest::newRow("mas de 24 bits") << QVariant(1 << 24) << ajustes::kTodasLasHoras << false;
    }
    void valoresNoValidos()
    {
        QFETCH(QVariant, guardado);
        QFETCH(int, mascara);
        QFETCH(bool, minimizado);
        ajustes::escribir(ajustes::Clave::CheckHorarios, guardado);
        QCOMPARE(ajustes::leerEntero(ajustes::Clave::CheckHorarios), mascara);
        // The same value in a bool key: only true/false (or 1/0) read as such.
        ajustes::escribir(ajustes::Clave::StartMinimized,
                          guardado.toString() == QLatin1String("255") ? QVariant(true) : guardado);
        QCOMPARE(ajustes::leerBool(ajustes::Clave::StartMinimized), minimizado);
    }
};

NBSMS_TEST_MAIN(PruebaClaves)
#include "prueba_claves.moc"
