// The numbers and dates of list rows, and what each row becomes before anything is queued.

#include "common/entorno_prueba.h"
#include "lista/numero_fecha.h"
#include "lista/revision_lista.h"

#include <QtTest>

Q_DECLARE_METATYPE(lista::Motivo)

class PruebaRevision : public QObject
{
    Q_OBJECT

private slots:
    void numero_data();
    void numero();
    void fecha_data();
    void campoEnMensaje_data();
    void campoEnMensaje();
    void fecha();
    void fila_data();
    void fila();
    void problemas_data();
    void problemas();
};

void PruebaRevision::numero_data()
{
    QTest::addColumn<QString>("celda");
    QTest::addColumn<QString>("limpio"); // empty: refused
    QTest::newRow("guiones") << "11-5566-7788"
                             << "1155667788";
    QTest::newRow("mas y espacios") << "+54 9 11 4455 6677"
                                    << "+5491144556677";
    QTest::newRow("parentesis y puntos") << "(011) 4455.6677"
                                         << "01144556677";
    QTest::newRow("espacio duro") << QStringLiteral("11\u00A04455") << "114455";
    QTest::newRow("tres digitos") << "123"
                                  << "123";
    QTest::newRow("quince digitos") << "123456789012345"
                                    << "123456789012345";
    QTest::newRow("dos digitos") << "12"
                                 << "";
    QTest::newRow("dieciseis digitos") << "1234567890123456"
                                       << "";
    QTest::newRow("letras") << "abc12345"
                            << "";
    QTest::newRow("mas en medio") << "54+911"
                                  << "";
    QTest::newRow("solo mas") << "+"
                              << "";
    QTest::newRow("ampersand") << "11&msg=x"
                               << "";
    QTest::newRow("coma") << "111,222"
                          << "";
    QTest::newRow("CR") << "1\r11"
                        << "";
    QTest::newRow("digitos arabes") << QStringLiteral("١٢٣٤") << "";
}

void PruebaRevision::numero()
{
    QFETCH(QString, celda);
    QFETCH(QString, limpio);
    QString obtenido = QStringLiteral("basura");
    QCOMPARE(lista::limpiarNumero(celda, obtenido), !limpio.isEmpty());
    QCOMPARE(obtenido, limpio);
}

void PruebaRevision::fecha_data()
{
    QTest::addColumn<QString>("celda");
    QTest::addColumn<QString>("fecha"); // empty: unreadable
    QTest::newRow("dd/MM/yyyy") << "05/03/2030"
                                << "05/03/2030";
    QTest::newRow("d/M/yyyy") << "5/3/2030"
                              << "05/03/2030";
    QTest::newRow("yyyy-MM-dd") << "2030-03-05"
                                << "05/03/2030";
    QTest::newRow("dd-MM-yyyy") << "05-03-2030"
                                << "05/03/2030";
    QTest::newRow("espacios alrededor") << " 05/03/2030 "
                                        << "05/03/2030";
    QTest::newRow("ddMMyyyy") << "05032030"
                              << "05/03/2030";
    QTest::newRow("ddMMyyyy sin tal dia") << "31042030"
                                          << "";
    QTest::newRow("siete cifras") << "5032030"
                                  << "";
    QTest::newRow("bisiesto") << "29/02/2028"
                              << "29/02/2028";
    QTest::newRow("no bisiesto") << "29/02/2030"
                                 << "";
    QTest::newRow("mes 13") << "05/13/2030"
                            << "";
    QTest::newRow("nombre") << "Juan"
                            << "";
    QTest::newRow("separadores mezclados") << "05/03-2030"
                                           << "";
    QTest::newRow("anio corto") << "05/03/30"
                                << "";
    QTest::newRow("yyyy/MM/dd") << "2030/03/05"
                                << "";
    QTest::newRow("con hora") << "05/03/2030 10:00"
                              << "";
    QTest::newRow("coma") << "lunes, 05/03/2030"
                          << "";
    QTest::newRow("vacia") << ""
                           << "";
}

void PruebaRevision::fecha()
{
    QFETCH(QString, celda);
    QFETCH(QString, fecha);
    QString obtenida = QStringLiteral("basura");
    QCOMPARE(lista::leerFechaCelda(celda, obtenida), !fecha.isEmpty());
    QCOMPARE(obtenida, fecha);
}

// Header "nombre,celular,vence,deuda"; template "Hola [nombre] {deuda}"; today 01/06/2030.
void PruebaRevision::fila_data()
{
    QTest::addColumn<QString>("linea");
    QTest::addColumn<QString>("columnaFecha");
    QTest::addColumn<lista::Motivo>("motivo");
    QTest::addColumn<QString>("registro"); // number, date and message
    using lista::Motivo;
    QTest::newRow("bien") << "Ana,11-5566-7788,2030-03-05,10"
                          << "vence" << Motivo::Ninguno << "1155667788|05/03/2030|Hola Ana 10";
    QTest::newRow("inmediato") << "Ana,1155667788,Juan,10"
                               << "--inmediato--" << Motivo::Ninguno << "1155667788|01/06/2030|Hola Ana 10";
    QTest::newRow("fila sin fecha") << "Ana,1155667788"
                                    << "vence" << Motivo::FechaVacia << "";
    QTest::newRow("columna de fecha ausente") << "Ana,1155667788,05/03/2030,10"
                                              << "vencimiento" << Motivo::SinColumnaFecha << "";
    QTest::newRow("sin columna de fecha") << "Ana,1155667788,Juan,10"
                                          << "" << Motivo::Ninguno << "1155667788|01/06/2030|Hola Ana 10";
    QTest::newRow("fila vacia") << ""
                                << "vence" << Motivo::FilaVacia << "";
    QTest::newRow("solo separadores") << " , ,,"
                                      << "vence" << Motivo::FilaVacia << "";
    QTest::newRow("numero vacio") << "Ana, ,05/03/2030,10"
                                  << "vence" << Motivo::NumeroVacio << "";
    QTest::newRow("numero invalido") << "Ana,abc12345,05/03/2030,10"
                                     << "vence" << Motivo::NumeroInvalido << "";
    QTest::newRow("fecha vacia") << "Ana,123,,10"
                                 << "vence" << Motivo::FechaVacia << "";
    QTest::newRow("fecha ilegible") << "Ana,123,Juan,10"
                                    << "vence" << Motivo::FechaIlegible << "";
    QTest::newRow("falta obligatorio") << "Ana,123,05/03/2030,"
                                       << "vence" << Motivo::FaltaObligatorio << "";
    QTest::newRow("fecha ddMMyyyy") << "Ana,123,05032030,10"
                                    << "vence" << Motivo::Ninguno << "123|05/03/2030|Hola Ana 10";
    QTest::newRow("texto con &num=") << "Ana&NUM=999,123,05/03/2030,10"
                                     << "vence" << Motivo::TextoConCampo << "";
}

// What in a message would give the gateway's request another value, as the reason names it.
void PruebaRevision::campoEnMensaje_data()
{
    QTest::addColumn<QString>("mensaje");
    QTest::addColumn<QString>("campo");
    QTest::newRow("num") << "Pague&num=1199999999"
                         << "&num=";
    QTest::newRow("key en mayusculas") << "a&KEY=x"
                                       << "&key=";
    QTest::newRow("msg") << "a&Msg=b"
                         << "&msg=";
    QTest::newRow("stat") << "ver &stat"
                          << "&stat";
    QTest::newRow("salto que se vuelve &enter&") << "hola\nnum=5"
                                                 << "&num=";
    QTest::newRow("separado") << "Tom & num=5, mas = menos"
                              << "";
}

void PruebaRevision::campoEnMensaje()
{
    QFETCH(QString, mensaje);
    QFETCH(QString, campo);
    QCOMPARE(lista::campoEnMensaje(mensaje), campo);
    if (!campo.isEmpty())
        QCOMPARE(lista::textoCampoEnMensaje(campo), QStringLiteral("texto con ") + campo);
}

void PruebaRevision::fila()
{
    QFETCH(QString, linea);
    QFETCH(QString, columnaFecha);
    QFETCH(lista::Motivo, motivo);
    QFETCH(QString, registro);
    lista::EntradasFila e;
    e.plantilla = QStringLiteral("Hola [nombre] {deuda}");
    e.columnas = QStringList{"nombre", "celular", "vence", "deuda", "#1", "#2", "#3", "#4"};
    e.cantidadColumnas = 4;
    e.columnaCelular = QStringLiteral("celular");
    e.columnaFecha = columnaFecha;
    e.separador = QChar(u',');
    e.hoy = QStringLiteral("01/06/2030");
    const lista::ResultadoFila r = lista::ReglasFila(e).evaluar(linea);
    QCOMPARE(r.motivo, motivo);
    if (motivo == lista::Motivo::Ninguno)
        QCOMPARE(QStringList({r.numero, r.fecha, r.mensaje}).join(QLatin1Char('|')), registro);
}

// The rows worth a look come in the order of their lines, a row cut and repeated giving both in
// that order, whether the repeat is the next row or far back, and with the rows' texts kept or
// read again by line; one row reused for every evaluation gives the same as a new one each time.
void PruebaRevision::problemas_data()
{
    QTest::addColumn<bool>("porLinea");
    QTest::newRow("textos guardados") << false;
    QTest::newRow("textos leidos por linea") << true;
}

void PruebaRevision::problemas()
{
    QFETCH(bool, porLinea);
    QStringList filas{"nombre,celular,deuda"};
    for (int i = 0; i < 30; ++i)
        filas << QStringLiteral("Fila %1,11%2,10").arg(i).arg(40000000 + i);
    const QString larga = QStringLiteral("Larga ") + QString(150, u'x');
    filas[3] = filas.at(2);                              // the next row
    filas[5] = larga + QStringLiteral(",1155667788,1");  // cut
    filas[6] = QStringLiteral("Mala,abc,1");             // to the errors file
    filas[25] = filas.at(5);                             // cut, and far back
    filas[26] = QStringLiteral("Fila 9,114000-0009,10"); // the same record as line 10, written otherwise
    const lista::ReglasFila reglas({QStringLiteral("Hola [nombre]"),
                                    {"nombre", "celular", "deuda"},
                                    3,
                                    QStringLiteral("celular"),
                                    QString(),
                                    QChar(u','),
                                    QStringLiteral("01/06/2030")});
    lista::RevisionLista revision =
        porLinea ? lista::RevisionLista([&filas](int linea) { return filas.value(linea - 1); })
                 : lista::RevisionLista();
    lista::ResultadoFila r;
    for (int i = 1; i < filas.size(); ++i) {
        reglas.evaluar(filas.at(i), r);
        revision.agregar(i + 1, filas.at(i), r);
    }
    QStringList vistos;
    for (const lista::ProblemaFila &p : revision.problemas())
        vistos << QStringLiteral("%1|%2|%3").arg(p.linea).arg(p.fila.left(10), p.motivo);
    QCOMPARE(vistos,
             (QStringList{"4|Fila 1,114|repite el número y el mensaje de la línea 3",
                          "6|Larga xxxx|SMS truncado a 140 caracteres", "7|Mala,abc,1|número no válido",
                          "26|Larga xxxx|SMS truncado a 140 caracteres",
                          "26|Larga xxxx|repite el número y el mensaje de la línea 6",
                          "27|Fila 9,114|repite el número y el mensaje de la línea 11"}));
    QCOMPARE(revision.repetidos(), 3);
    QCOMPARE(revision.problema(4).fila, filas.at(25));
}

NBSMS_TEST_MAIN(PruebaRevision)
#include "prueba_revision.moc"
