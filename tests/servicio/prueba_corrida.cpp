// A list run of the service never adds a row twice nor loses one: a run cut short is finished from
// its next row with the inputs it began with, a write failure leaves the list where it is, and no
// data file is used as another. No window: the service's steps are taken as the window takes them.

#include "common/archivos_prueba.h"
#include "common/entorno_prueba.h"

#include "ajustes/ajustes.h"
#include "ajustes/reloj.h"
#include "historial/base_historial.h"
#include "lista/columnas.h"
#include "lista/diario_corrida.h"
#include "lista/lectura_lista.h"
#include "servicio/servicio_envio.h"

#include <QTemporaryDir>
#include <QtTest>

#include <memory>

using corrida_lista::Modo;
using servicio::Paso;
using servicio::ResultadoCorrida;

Q_DECLARE_METATYPE(corrida_lista::Modo)

using archivos_prueba::conFinDeLinea;
using archivos_prueba::escribir;
using archivos_prueba::leer;

class PruebaCorrida : public QObject
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<servicio::ServicioEnvio> m_servicio;

    QString ruta(const char *nombre) const { return m_dir->filePath(QLatin1String(nombre)); }
    QString salidas() const { return ruta(ajustes::kArchivoSalidas); }
    QString errores() const { return ruta("errores.csv"); }
    QString backup() const { return ruta("backup.csv"); }
    QString diario() const { return ruta(ajustes::kArchivoCorrida); }
    static QString hoy() { return reloj::hoyTexto(); }

    // A run of `lista` as the window asks for it: a header, commas, "Hola [nombre]" to "celular".
    servicio::PedidoCorrida pedido(Modo modo, const QString &lista) const
    {
        servicio::PedidoCorrida p;
        p.modo = modo;
        p.rutaLista = lista;
        p.rutaErrores = errores();
        p.rutaBackup = backup();
        p.plantilla = QStringLiteral("Hola [nombre]");
        p.columnaCelular = QStringLiteral("celular");
        p.columnaFecha = QStringLiteral("--inmediato--");
        p.formato.tieneHeader = true;
        p.formato.usarComa = true;
        return p;
    }
    // Every step the window takes, its questions answered yes.
    ResultadoCorrida correr(const servicio::PedidoCorrida &p)
    {
        const ResultadoCorrida preparada = m_servicio->prepararCorrida(p);
        if (preparada.paso != Paso::Seguir)
            return preparada;
        if (p.modo != Modo::Vigilada)
            m_servicio->resumirCorrida();
        return m_servicio->escribirCorrida();
    }
    QString listaDeTres()
    {
        escribir(ruta("lista.csv"), "nombre,celular\nAna,111\nBeto,\nCarla,333\n");
        return ruta("lista.csv");
    }
    // The journal of a run of `lista` begun on 01/02/2030, the outbox and errors file as it found them.
    diario_corrida::Diario diarioDe(const QString &lista, Modo modo, const QByteArray &previo,
                                    qint64 tamanoErrores)
    {
        diario_corrida::Diario d;
        d.rutaLista = lista;
        diario_corrida::identidad(lista, d.tamanoLista, d.modificadaLista);
        QStringList lineas;
        if (lista::leerLineasLista(lista, lineas))
            d.huellaLista = diario_corrida::huella(lineas);
        d.modo = modo;
        d.rutaSalidas = salidas();
        d.tamanoSalidas = previo.size();
        d.rutaErrores = errores();
        d.tamanoErrores = tamanoErrores;
        d.plantilla = QStringLiteral("Hola [nombre]");
        d.columnaCelular = QStringLiteral("celular");
        d.columnaFecha = QStringLiteral("--inmediato--");
        d.columnas = QStringList{"nombre", "celular", "#1", "#2"};
        d.cantidadColumnas = 2;
        d.hoy = QStringLiteral("01/02/2030");
        return d;
    }

private slots:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        m_servicio = std::make_unique<servicio::ServicioEnvio>(QDir(m_dir->path()), protocolo_ngw::Gateway());
        m_servicio->fijarRutas({errores(), backup(), ruta("recibidos.csv")});
    }
    void cleanup()
    {
        m_servicio.reset();
        m_dir.reset();
        // The next test's history is new: no opt-out was in force there.
        ajustes::escribir(ajustes::Clave::BajasEnVigor, 0);
    }

    // A history whose list is shorter than the one last in force (a file replaced by hand) is
    // told, once the window listens, not emptied in silence.
    void listaDeBajasMasCortaSeAvisa()
    {
        m_servicio.reset();
        ajustes::escribir(ajustes::Clave::BajasEnVigor, 3);
        m_servicio = std::make_unique<servicio::ServicioEnvio>(QDir(m_dir->path()), protocolo_ngw::Gateway());
        QSignalSpy avisos(m_servicio.get(), &servicio::ServicioEnvio::avisoBajas);
        m_servicio->iniciar();
        QCOMPARE(avisos.size(), 1);
        QVERIFY(avisos.at(0).at(0).toString().contains(QStringLiteral("tenía 3")));
        QCOMPARE(ajustes::leerEntero(ajustes::Clave::BajasEnVigor), 0);
    }

    // Rows to a number on the opt-out list, in whatever form, go to the errors file and are
    // counted in the summary; the others are queued.
    void filasDadasDeBaja()
    {
        QCOMPARE(m_servicio->agregarBaja(QStringLiteral("+54 9 11 4567-8902")), servicio::AltaBaja::Agregada);
        QCOMPARE(m_servicio->agregarBaja(QStringLiteral("011 4567 8902")), servicio::AltaBaja::YaEstaba);
        escribir(ruta("lista.csv"), "nombre,celular\nAna,1145678902\nBeto,1145678903\nCarla,5491145678902\n");
        QCOMPARE(m_servicio->prepararCorrida(pedido(Modo::Simple, ruta("lista.csv"))).paso, Paso::Seguir);
        const servicio::ResumenCorrida resumen = m_servicio->resumirCorrida();
        QVERIFY2(resumen.texto.contains(QStringLiteral("dado de baja: 2")), qPrintable(resumen.texto));
        QCOMPARE(resumen.aEncolar, 1);
        QVERIFY(m_servicio->escribirCorrida().error.isEmpty());
        QCOMPARE(leer(salidas()),
                 conFinDeLinea(QStringLiteral("e,1145678903,%1,Hola Beto\n").arg(hoy()).toUtf8()));
        QCOMPARE(leer(errores()), conFinDeLinea("Ana,1145678902\nCarla,5491145678902\n"));
    }

    // The question before a list is added counts what it repeats of the last week (queued or
    // tried), the rows dated in the past, and what goes today and what later.
    void resumenDeLoQueRepiteYCuando_data()
    {
        QTest::addColumn<QByteArray>("filas");
        QTest::addColumn<QStringList>("dice");
        QTest::addColumn<QStringList>("noDice");
        const QString repite = QStringLiteral("repite");
        QTest::newRow("nada que advertir")
            << QByteArray("Dora,444,15/06/2026\n") << QStringList()
            << QStringList{repite, QStringLiteral("pasada"), QStringLiteral("adelante")};
        QTest::newRow("pendiente y enviado hace 3 días")
            << QByteArray("Ana,111,15/06/2026\nBeto,222,15/06/2026\nDora,444,15/06/2026\n")
            << QStringList{QStringLiteral(
                   "2 filas repiten el número y el mensaje de SMS agregados o enviados en "
                   "los últimos 7 días")}
            << QStringList();
        QTest::newRow("enviado hace 8 días, cancelado ayer")
            << QByteArray("Carla,333,15/06/2026\nEva,555,15/06/2026\n") << QStringList()
            << QStringList{repite};
        QTest::newRow("pasadas, hoy y más adelante")
            << QByteArray(
                   "Dora,444,01/06/2026\nFede,666,10/06/2026\nGina,777,15/06/2026\nHugo,888,20/06/2026\n"
                   "Ines,999,30/06/2026\n")
            << QStringList{QStringLiteral("2 filas tienen una fecha ya pasada: se enviarán hoy."),
                           QStringLiteral("Hoy se enviarán 3 SMS y 2 más adelante (hasta el 30/06/2026).")}
            << QStringList{repite};
    }
    void resumenDeLoQueRepiteYCuando()
    {
        QFETCH(QByteArray, filas);
        QFETCH(QStringList, dice);
        QFETCH(QStringList, noDice);
        reloj::fijar([] { return QDateTime(QDate(2026, 6, 15), QTime(10, 0)); });
        escribir(salidas(), "E,9,,viejo\ne,111,20/06/2026,Hola Ana\n");
        historial::Historial &h = m_servicio->historial();
        h.agregarEnviado(QStringLiteral("2026-06-12 09:00:00"), QStringLiteral("222"),
                         QStringLiteral("Hola Beto"), QStringLiteral("enviado"));
        h.agregarEnviado(QStringLiteral("2026-06-07 09:00:00"), QStringLiteral("333"),
                         QStringLiteral("Hola Carla"), QStringLiteral("enviado"));
        h.agregarEnviado(QStringLiteral("2026-06-14 09:00:00"), QStringLiteral("555"),
                         QStringLiteral("Hola Eva"), QStringLiteral("cancelado"));
        escribir(ruta("lista.csv"), "nombre,celular,fecha\n" + filas);
        servicio::PedidoCorrida p = pedido(Modo::Simple, ruta("lista.csv"));
        p.columnaFecha = QStringLiteral("fecha");
        QCOMPARE(m_servicio->prepararCorrida(p).paso, Paso::Seguir);
        const QString texto = m_servicio->resumirCorrida().texto;
        m_servicio->abandonarCorrida();
        reloj::fijar(nullptr);
        for (const QString &parte : dice)
            QVERIFY2(texto.contains(parte), qPrintable(texto));
        for (const QString &parte : noDice)
            QVERIFY2(!texto.contains(parte), qPrintable(texto));
    }

    // What a killed program leaves: the journal, the rows done so far and perhaps a cut line. The
    // run is finished at the next start from the next row, with the inputs it began with, and
    // told once, except a watched run, which never reports.
    void corridaCortadaSeCompleta_data()
    {
        QTest::addColumn<Modo>("modo");
        QTest::addColumn<QByteArray>("cortada");
        QTest::newRow("vigilada") << Modo::Vigilada << QByteArray();
        QTest::newRow("armado, linea cortada") << Modo::Armado << QByteArray("e,444,01/0");
        QTest::newRow("simple, linea cortada") << Modo::Simple << QByteArray("e");
    }
    void corridaCortadaSeCompleta()
    {
        QFETCH(Modo, modo);
        QFETCH(QByteArray, cortada);
        escribir(ruta("lista.csv"), "nombre,celular\nAna,111\nBeto,\nCarla,333\nDora,444\nEli,\nFede,666\n");
        const QString lista = ruta("lista.csv");
        const QByteArray previo("E,1,01/01/2020,viejo\n");
        escribir(salidas(), previo + "e,111,01/02/2030,Hola Ana\ne,333,01/02/2030,Hola Carla\n" + cortada);
        escribir(errores(), "viejo\nBeto,\n");
        diario_corrida::Diario d = diarioDe(lista, modo, previo, 6);
        d.huellaLista.clear(); // a journal written before fingerprints were kept
        QVERIFY(diario_corrida::guardar(diario(), d));

        const ResultadoCorrida r = m_servicio->reanudarCorrida(false);
        QCOMPARE(r.paso, Paso::Detenida);
        QCOMPARE(leer(salidas()),
                 previo + "e,111,01/02/2030,Hola Ana\ne,333,01/02/2030,Hola Carla\n" +
                     conFinDeLinea("e,444,01/02/2030,Hola Dora\ne,666,01/02/2030,Hola Fede\n"));
        QCOMPARE(leer(errores()), "viejo\nBeto,\n" + conFinDeLinea("Eli,\n"));
        QCOMPARE(m_servicio->instantanea().pendientes, 4);
        QVERIFY(!QFile::exists(diario()));
        QCOMPARE(QFile::exists(lista), modo == Modo::Simple);
        QCOMPARE(r.armarVigilancia, modo == Modo::Armado);
        QVERIFY(!r.detenerVigilancia && r.error.isEmpty());
        QCOMPARE(r.reporte, modo == Modo::Vigilada
                                ? QString()
                                : corrida_lista::textoCorridaCompletada(lista, 3, 4, 2, errores()));
        QCOMPARE(m_servicio->reanudarCorrida(false).paso, Paso::Seguir);
    }

    // A watched run killed after two records and an error line, then the list touched or saved
    // again, or the errors file cut, removed or added to: the rows done are recognised by the
    // records they wrote, and every row is queued once. A list whose rows changed cannot be
    // completed: the watch goes off, the list stays, the operator is told how many records went in.
    void corridaCortadaConArchivosCambiados_data()
    {
        QTest::addColumn<QString>("falla");
        QTest::addColumn<bool>("erroresPrevios");
        QTest::addColumn<QByteArray>("erroresAlFinal");
        // The program's own line, after what the cut run and others left.
        const QByteArray eli = conFinDeLinea("Eli,\n");
        QTest::newRow("lista tocada") << "tocada" << true << "viejo\nBeto,\n" + eli;
        QTest::newRow("lista guardada otra vez") << "guardada" << true << "viejo\nBeto,\n" + eli;
        QTest::newRow("errores cortado") << "cortado" << true << "viejo\n" + eli;
        QTest::newRow("errores borrado") << "borrado" << true << eli;
        QTest::newRow("errores nuevo borrado") << "borrado" << false << eli;
        QTest::newRow("errores con una linea mas")
            << "agregado" << true << "viejo\nBeto,\nnota\nBeto,\n" + eli;
        QTest::newRow("lista cambiada") << "cambiada" << true << QByteArray("viejo\nBeto,\n");
    }
    void corridaCortadaConArchivosCambiados()
    {
        QFETCH(QString, falla);
        QFETCH(bool, erroresPrevios);
        QFETCH(QByteArray, erroresAlFinal);
        const QByteArray contenido("nombre,celular\nAna,111\nBeto,\nCarla,333\nDora,444\nEli,\nFede,666\n");
        const QString lista = ruta("lista.csv");
        escribir(lista, contenido);
        const QByteArray previo("E,1,01/01/2020,viejo\n");
        const QByteArray hechos("e,111,01/02/2030,Hola Ana\nE,333,01/02/2030,Hola Carla\n");
        escribir(salidas(), previo + hechos);
        escribir(errores(), erroresPrevios ? "viejo\nBeto,\n" : "Beto,\n");
        QVERIFY(diario_corrida::guardar(diario(),
                                        diarioDe(lista, Modo::Vigilada, previo, erroresPrevios ? 6 : 0)));
        QFile archivoLista(lista);
        if (falla == QLatin1String("tocada")) {
            QVERIFY(archivoLista.open(QIODevice::ReadWrite));
            QVERIFY(archivoLista.setFileTime(QDateTime::currentDateTime().addSecs(3600),
                                             QFileDevice::FileModificationTime));
            // Touched and let go: a list still open elsewhere cannot be moved away on Windows.
            archivoLista.close();
        } else if (falla == QLatin1String("guardada")) {
            escribir(lista, "\xEF\xBB\xBF" + QByteArray(contenido).replace("\n", "\r\n"));
        } else if (falla == QLatin1String("cambiada")) {
            escribir(lista, QByteArray(contenido).replace("666", "667"));
        } else if (falla == QLatin1String("cortado")) {
            QVERIFY(QFile::resize(errores(), 6));
        } else if (falla == QLatin1String("borrado")) {
            QVERIFY(QFile::remove(errores()));
        } else if (falla == QLatin1String("agregado")) {
            escribir(errores(), "nota\nBeto,\n", true);
        }

        const ResultadoCorrida r = m_servicio->reanudarCorrida(false);
        QVERIFY(!QFile::exists(diario()));
        QCOMPARE(leer(errores()), erroresAlFinal);
        if (falla == QLatin1String("cambiada")) {
            QCOMPARE(leer(salidas()), previo + hechos);
            QVERIFY(QFile::exists(lista));
            QVERIFY(r.detenerVigilancia);
            QVERIFY2(r.error.contains(QStringLiteral("Se habían agregado 2 SMS")), qPrintable(r.error));
            return;
        }
        QCOMPARE(leer(salidas()),
                 previo + hechos + conFinDeLinea("e,444,01/02/2030,Hola Dora\ne,666,01/02/2030,Hola Fede\n"));
        QVERIFY(!QFile::exists(lista));
        QVERIFY(!r.detenerVigilancia && r.error.isEmpty() && r.reporte.isEmpty());
    }

    // A run finished from its journal splits its list with the journal's format and columns; the
    // next run, with the format it is asked for. A run takes its columns by name from the file it
    // reads, whatever was chosen before.
    void formatoYColumnasDeCadaCorrida()
    {
        const QString otra = ruta("otra.csv");
        escribir(otra, "celular;nombre\n222;Eva\n");
        diario_corrida::Diario d = diarioDe(otra, Modo::Simple, QByteArray(), 0);
        d.plantilla = QStringLiteral("Chau [nombre]");
        d.columnas = QStringList{"celular", "nombre", "#1", "#2"};
        d.usarComa = false;
        d.usarPuntoComa = true;
        QVERIFY(diario_corrida::guardar(diario(), d));
        QCOMPARE(m_servicio->reanudarCorrida(true).paso, Paso::Detenida);
        QCOMPARE(leer(salidas()), conFinDeLinea("e,222,01/02/2030,Chau Eva\n"));

        const QString lista = listaDeTres();
        QVERIFY(correr(pedido(Modo::Simple, lista)).error.isEmpty());
        escribir(lista, "celular,nombre\n444,Dora\n");
        QVERIFY(correr(pedido(Modo::Simple, lista)).error.isEmpty());
        QCOMPARE(leer(salidas()),
                 conFinDeLinea(QStringLiteral("e,222,01/02/2030,Chau Eva\ne,111,%1,Hola Ana\ne,333,%1,Hola "
                                              "Carla\ne,444,%1,Hola Dora\n")
                                   .arg(hoy())
                                   .toUtf8()));
        QVERIFY(QFile::exists(lista));
    }

    // A journal as large as a header of very many columns makes is read back whole. One that cannot
    // be read at all is not dropped in silence: the rows it had done are unknown, so the watch
    // stops rather than add the list again.
    void diarioGrandeOIlegible()
    {
        diario_corrida::Diario d = diarioDe(ruta("lista.csv"), Modo::Vigilada, QByteArray(), 0);
        d.columnas = lista::referenciasNumericas(200000);
        QVERIFY(diario_corrida::guardar(diario(), d));
        QVERIFY(QFileInfo(diario()).size() > (1 << 20));
        diario_corrida::Diario leido;
        QVERIFY(diario_corrida::leer(diario(), leido));
        QCOMPARE(leido.columnas, d.columnas);

        escribir(diario(), "{\"lista\": \"");
        const ResultadoCorrida r = m_servicio->reanudarCorrida(false);
        QVERIFY(!QFile::exists(diario()));
        QVERIFY(r.detenerVigilancia);
        QVERIFY(!r.error.isEmpty());
    }

    // A write failure stops the writing pass: the list is not moved, the watch goes off, and it is
    // said once. The next run adds the rest only.
    void escrituraDetenidaDejaLaLista_data()
    {
        QTest::addColumn<Modo>("modo");
        QTest::newRow("vigilada") << Modo::Vigilada;
        QTest::newRow("armado") << Modo::Armado;
    }
    void escrituraDetenidaDejaLaLista()
    {
        QFETCH(Modo, modo);
        const QString lista = listaDeTres();
        escribir(backup(), "viejo");
        const QString sinCarpeta = ruta("no/existe/errores.csv");
        m_servicio->fijarRutas({sinCarpeta, backup(), ruta("recibidos.csv")});
        servicio::PedidoCorrida p = pedido(modo, lista);
        p.rutaErrores = sinCarpeta;
        ResultadoCorrida r = correr(p);
        QVERIFY(QFile::exists(lista));
        QCOMPARE(leer(backup()), QByteArray("viejo"));
        QVERIFY(r.detenerVigilancia && !r.armarVigilancia);
        QCOMPARE(r.error, corrida_lista::textoEscrituraDetenida(
                              QStringLiteral("No se pudo abrir el archivo de errores."), lista, 1, modo));
        QCOMPARE(leer(salidas()), conFinDeLinea(QStringLiteral("e,111,%1,Hola Ana\n").arg(hoy()).toUtf8()));

        m_servicio->fijarRutas({errores(), backup(), ruta("recibidos.csv")});
        r = m_servicio->reanudarCorrida(true);
        QCOMPARE(
            leer(salidas()),
            conFinDeLinea(QStringLiteral("e,111,%1,Hola Ana\ne,333,%1,Hola Carla\n").arg(hoy()).toUtf8()));
        QCOMPARE(leer(errores()), conFinDeLinea("Beto,\n"));
        QVERIFY(!QFile::exists(lista));
        QCOMPARE(r.reporte, corrida_lista::textoCorridaCompletada(lista, 1, 2, 1, errores()));
    }

    // A list changed after it was read, before a pass reached its rows: the run adds nothing of
    // what it did not count and leaves the list where it is.
    void listaCambiadaEntrePasadas_data()
    {
        QTest::addColumn<bool>("alContar");
        QTest::newRow("al contar") << true;
        QTest::newRow("al escribir") << false;
    }
    void listaCambiadaEntrePasadas()
    {
        QFETCH(bool, alContar);
        const QString lista = listaDeTres();
        QCOMPARE(m_servicio->prepararCorrida(pedido(Modo::Simple, lista)).paso, Paso::Seguir);
        if (!alContar)
            QVERIFY(m_servicio->resumirCorrida().error.isEmpty());
        escribir(lista, "nombre,celular\nAna,999\nBeto,\nCarla,333\n");
        if (alContar) {
            QVERIFY(
                m_servicio->resumirCorrida().error.contains(QStringLiteral("cambió mientras se revisaba")));
            m_servicio->abandonarCorrida();
        } else {
            QVERIFY(
                m_servicio->escribirCorrida().error.contains(QStringLiteral("cambió mientras se agregaba")));
        }
        QCOMPARE(leer(salidas()), QByteArray());
        QVERIFY(QFile::exists(lista));
    }

    // A path that is another data file is refused when a run would use it: nothing is written or
    // moved, and the watch goes off.
    void rutaDeDatosRechazadaAlAgregar_data()
    {
        QTest::addColumn<Modo>("modo");
        QTest::addColumn<bool>("enBackup");
        QTest::newRow("backup en la bandeja, armado") << Modo::Armado << true;
        QTest::newRow("backup en la bandeja, vigilada") << Modo::Vigilada << true;
        QTest::newRow("errores en la bandeja, simple") << Modo::Simple << false;
    }
    void rutaDeDatosRechazadaAlAgregar()
    {
        QFETCH(Modo, modo);
        QFETCH(bool, enBackup);
        const QString lista = listaDeTres();
        const QByteArray pendiente("e,9,01/01/2020,pendiente\n");
        escribir(salidas(), pendiente);
        servicio::PedidoCorrida p = pedido(modo, lista);
        (enBackup ? p.rutaBackup : p.rutaErrores) = salidas();
        const ResultadoCorrida r = correr(p);
        QVERIFY(r.error.endsWith(QStringLiteral("ese archivo ya es la bandeja de salida.")));
        QVERIFY(r.detenerVigilancia);
        QCOMPARE(leer(salidas()), pendiente);
        QVERIFY(QFile::exists(lista));
    }

    // Past 1000 sent records, the outbox is compacted after a run.
    void compactacionTrasLaCorrida_data()
    {
        QTest::addColumn<int>("enviados");
        QTest::newRow("1000") << 1000;
        QTest::newRow("1001") << 1001;
    }
    void compactacionTrasLaCorrida()
    {
        QFETCH(int, enviados);
        escribir(salidas(), QByteArray("E,1,01/01/2020,viejo\n").repeated(enviados));
        QVERIFY(correr(pedido(Modo::Simple, listaDeTres())).error.isEmpty());
        QCOMPARE(leer(salidas()).startsWith("E,"), enviados <= 1000);
        QCOMPARE(leer(salidas()).count('\n'), enviados > 1000 ? 2 : enviados + 2);
    }
};

NBSMS_TEST_MAIN(PruebaCorrida)
#include "prueba_corrida.moc"
