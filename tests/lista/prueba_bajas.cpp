// The "same number" rule, the opt-out words and the list's check on outbox lines.

#include "common/entorno_prueba.h"
#include "lista/bajas.h"

#include <QtTest>

class PruebaBajas : public QObject
{
    Q_OBJECT

private slots:
    void mismoNumero_data();
    void mismoNumero();
    void palabra_data();
    void palabra();
    void lineaOutbox_data();
    void lineaOutbox();
    void busqueda_data();
    void busqueda();
    void archivo();
};

void PruebaBajas::mismoNumero_data()
{
    QTest::addColumn<QString>("a");
    QTest::addColumn<QString>("b");
    QTest::addColumn<int>("digitos");
    QTest::addColumn<bool>("mismo");
    QTest::newRow("internacional y local") << "+54 9 11 4567-8902"
                                           << "1145678902" << 10 << true;
    QTest::newRow("con 0 y espacios") << "011 4567 8902"
                                      << "+54 9 11 4567-8902" << 10 << true;
    QTest::newRow("parentesis y puntos") << "(11) 4567.8902"
                                         << "5491145678902" << 10 << true;
    QTest::newRow("otro numero") << "1145678902"
                                 << "1145678903" << 10 << false;
    QTest::newRow("otra area") << "1145678902"
                               << "2245678902" << 10 << false;
    QTest::newRow("otra area con 7") << "1145678902"
                                     << "2245678902" << 7 << true;
    QTest::newRow("corto igual") << "4567"
                                 << "4567" << 10 << true;
    QTest::newRow("corto no es sufijo") << "8902"
                                        << "1145678902" << 10 << false;
    QTest::newRow("cero a la izquierda") << "0123"
                                         << "123" << 10 << false;
    QTest::newRow("sin digitos") << "abc"
                                 << "abc" << 10 << false;
    QTest::newRow("limite bajo") << "99 1234567"
                                 << "1234567" << 3 << true;
    QTest::newRow("limite alto") << "5491145678902"
                                 << "91145678902" << 20 << false;
}

void PruebaBajas::mismoNumero()
{
    QFETCH(QString, a);
    QFETCH(QString, b);
    QFETCH(int, digitos);
    QFETCH(bool, mismo);
    QCOMPARE(bajas::mismoNumero(a, b, digitos), mismo);
    bajas::Lista lista(digitos);
    lista.agregar(a);
    QCOMPARE(lista.contiene(b), mismo);
}

void PruebaBajas::palabra_data()
{
    QTest::addColumn<QString>("mensaje");
    QTest::addColumn<QString>("ajuste");
    QTest::addColumn<bool>("pide");
    const QString porDefecto = QStringLiteral("BAJA, STOP, NO ENVIAR, NO MAS");
    QTest::newRow("minusculas") << "baja" << porDefecto << true;
    QTest::newRow("espacios y punto") << "  Baja. " << porDefecto << true;
    QTest::newRow("acento y signos") << QStringLiteral("¡No  más!") << porDefecto << true;
    QTest::newRow("ajuste con acento") << "NO MAS" << QStringLiteral("no más") << true;
    QTest::newRow("salto de linea") << "no\nenviar" << porDefecto << true;
    QTest::newRow("frase con la palabra") << "no me den de baja" << porDefecto << false;
    QTest::newRow("otra palabra") << QStringLiteral("ya pagué") << porDefecto << false;
    QTest::newRow("vacio") << "   " << porDefecto << false;
    QTest::newRow("lista vacia") << "BAJA"
                                 << "" << false;
    QTest::newRow("solo comas") << "BAJA"
                                << " , ," << false;
}

void PruebaBajas::palabra()
{
    QFETCH(QString, mensaje);
    QFETCH(QString, ajuste);
    QFETCH(bool, pide);
    QCOMPARE(bajas::pideBaja(mensaje, bajas::palabras(ajuste)), pide);
}

void PruebaBajas::lineaOutbox_data()
{
    QTest::addColumn<QByteArray>("linea");
    QTest::addColumn<bool>("deBaja");
    QTest::newRow("mismo numero") << QByteArray("e,+5491145678902,08/12/2026,hola") << true;
    QTest::newRow("mensaje con comas") << QByteArray("e,1145678902,08/12/2026,a, 1145678903, b") << true;
    QTest::newRow("otro numero") << QByteArray("e,1145678903,08/12/2026,1145678902") << false;
    QTest::newRow("sin campos") << QByteArray("e,1145678902") << false;
    QTest::newRow("numero vacio") << QByteArray("e,,08/12/2026,1145678902") << false;
}

void PruebaBajas::lineaOutbox()
{
    QFETCH(QByteArray, linea);
    QFETCH(bool, deBaja);
    bajas::Lista lista(10);
    QVERIFY(lista.agregar(QStringLiteral("011 4567-8902")));
    QVERIFY(!lista.agregar(QStringLiteral("1145678902")));
    QCOMPARE(lista.contieneLinea(linea.constData(), linea.size()), deBaja);
}

void PruebaBajas::busqueda_data()
{
    QTest::addColumn<QString>("texto");
    QTest::addColumn<QString>("ultimos"); // empty: not a number
    QTest::newRow("como en la planilla") << "+54 9 11 4567-8902"
                                         << "1145678902";
    QTest::newRow("parte final") << "8902"
                                 << "8902";
    QTest::newRow("con parentesis") << "(011) 4567.8902"
                                    << "1145678902";
    QTest::newRow("texto") << "hola 8902"
                           << "";
    QTest::newRow("solo signos") << "+-"
                                 << "";
}

void PruebaBajas::busqueda()
{
    QFETCH(QString, texto);
    QFETCH(QString, ultimos);
    QCOMPARE(bajas::digitosBuscados(texto, 10), ultimos);
}

// A file exported from the tab, one number a line, and a list without a header.
void PruebaBajas::archivo()
{
    int ignoradas = -1;
    QCOMPARE(bajas::numerosDeLista({QStringLiteral("Fecha y hora;Número;Origen;Texto"),
                                    QStringLiteral("2026-12-08 10:00:00;+54 9 11 4567-8902;respuesta;BAJA"),
                                    QStringLiteral("2026-12-08 10:00:01;;a mano;")},
                                   ignoradas),
             QStringList{QStringLiteral("+54 9 11 4567-8902")});
    QCOMPARE(ignoradas, 1);
    QCOMPARE(bajas::numerosDeLista(
                 {QStringLiteral("1145678902"), QStringLiteral("'011 4567 8903"), QStringLiteral("nada")},
                 ignoradas),
             (QStringList{QStringLiteral("1145678902"), QStringLiteral("011 4567 8903")}));
    QCOMPARE(ignoradas, 1);
    QCOMPARE(bajas::numerosDeLista(
                 {QStringLiteral("Juan;1145678902;debe"), QStringLiteral("Ana;2245678902;x")}, ignoradas),
             (QStringList{QStringLiteral("1145678902"), QStringLiteral("2245678902")}));
}

NBSMS_TEST_MAIN(PruebaBajas)
#include "prueba_bajas.moc"
