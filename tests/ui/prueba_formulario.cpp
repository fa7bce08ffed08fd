// The main window's form as built, before any constructor fills it, and its compiled-in icons.
// The form is set up on a plain QMainWindow, so only the form itself is under test.

#include "app/mainwindow.h"
#include "common/entorno_prueba.h"
#include "ui_mainwindow.h"

#include <QAction>
#include <QDir>
#include <QFormLayout>
#include <QImageReader>
#include <QMenuBar>
#include <QMetaMethod>
#include <QToolBar>
#include <QValidator>

#include <memory>

namespace {

const QString kRaiz = QStringLiteral(":/images/images/");

// Same pixels, whatever the storage format.
QImage normalizada(const QImage &imagen)
{
    return imagen.convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

int opacos(const QImage &imagen, const QRect &zona)
{
    int n = 0;
    for (int y = zona.top(); y <= zona.bottom(); ++y)
        for (int x = zona.left(); x <= zona.right(); ++x)
            n += qAlpha(imagen.pixel(x, y)) > 128 ? 1 : 0;
    return n;
}

} // namespace

class PruebaFormulario : public QObject
{
    Q_OBJECT

    std::unique_ptr<QMainWindow> ventana;
    std::unique_ptr<Ui::MainWindow> ui;

    template <typename T = QObject> T *hijo(const QString &nombre) const
    {
        return ventana->findChild<T *>(nombre);
    }

private slots:
    void init()
    {
        ventana = std::make_unique<QMainWindow>();
        ui = std::make_unique<Ui::MainWindow>();
        ui->setupUi(ventana.get());
    }
    void cleanup()
    {
        ui.reset();
        ventana.reset();
    }

    void ventanaPrincipal()
    {
        QCOMPARE(ventana->objectName(), QStringLiteral("MainWindow"));
        QCOMPARE(ventana->windowTitle(), QStringLiteral("NB sms"));
        QCOMPARE(ventana->size(), QSize(513, 570));
        QCOMPARE(ventana->minimumSize(), QSize(500, 500));
        // menuBar() would create one on demand: look for children instead.
        QVERIFY(ventana->findChildren<QMenuBar *>().isEmpty());
        QVERIFY(ventana->findChildren<QToolBar *>().isEmpty());
        QCOMPARE(ventana->statusBar(), ui->statusBar);
        QCOMPARE(ui->statusBar->objectName(), QStringLiteral("statusBar"));
        QVERIFY(ui->statusBar->currentMessage().isEmpty());
        QCOMPARE(ventana->centralWidget(), ui->centralWidget);

        QCOMPARE(ui->gridLayout->spacing(), 6);
        QCOMPARE(ui->gridLayout->contentsMargins(), QMargins(11, 11, 11, 11));
        QCOMPARE(ui->gridLayout->count(), 1);
        QCOMPARE(ui->gridLayout->itemAt(0)->widget(), static_cast<QWidget *>(ui->tabWidget));

        QCOMPARE(ui->actionConfiguracion->text(), QStringLiteral("Configuracion"));
        QCOMPARE(ui->actionConfiguracion->parent(), static_cast<QObject *>(ventana.get()));
        QVERIFY(ui->actionConfiguracion->associatedWidgets().isEmpty());
    }

    void noSeAchicaMasQueElMinimo()
    {
        ventana->show();
        ventana->resize(200, 150);
        QCOMPARE(ventana->size(), QSize(500, 500));
        ventana->resize(499, 700);
        QCOMPARE(ventana->size(), QSize(500, 700));
    }

    void pestanas_data()
    {
        QTest::addColumn<QString>("pagina");
        QTest::addColumn<QString>("icono");
        QTest::addColumn<QString>("ayudaEmergente");
        QTest::addColumn<QString>("queEsEsto");
        QTest::newRow("0") << "EnvioManual"
                           << "iconos-01.png"
                           << "Envio manual"
                           << "Envie sms manualmente";
        QTest::newRow("1") << "EnvioPorListas"
                           << "iconos-03.png"
                           << "Envio masivo"
                           << "";
        QTest::newRow("2") << "PoleoCarpeta"
                           << "iconoruvo-04.png" << QString::fromUtf8("Estado de envío y recepción") << "";
        QTest::newRow("3") << "tab"
                           << "Programming-Settings-3-icon.png"
                           << "Configuracion"
                           << "";
        QTest::newRow("4") << "tab_2"
                           << "1460067265_ic_live_help_48px.png"
                           << ""
                           << "";
    }
    void pestanas()
    {
        QFETCH(QString, pagina);
        QFETCH(QString, icono);
        QFETCH(QString, ayudaEmergente);
        QFETCH(QString, queEsEsto);
        const int i = QString::fromLatin1(QTest::currentDataTag()).toInt();
        QTabWidget *t = ui->tabWidget;
        // The history, queue, received-messages and opt-out tabs follow these five.
        QCOMPARE(t->count(), 9);
        QCOMPARE(t->widget(i)->objectName(), pagina);
        QVERIFY(t->tabText(i).isEmpty());
        QVERIFY(t->tabBar()->tabText(i).isEmpty());
        QCOMPARE(t->tabToolTip(i), ayudaEmergente);
        QCOMPARE(t->tabWhatsThis(i), queEsEsto);

        const QImage recurso(kRaiz + icono);
        QVERIFY(!recurso.isNull());
        const QIcon icon = t->tabIcon(i);
        QCOMPARE(icon.availableSizes(), QList<QSize>{recurso.size()});
        QCOMPARE(normalizada(icon.pixmap(recurso.size()).toImage()), normalizada(recurso));
    }

    void tabWidget()
    {
        QTabWidget *t = ui->tabWidget;
        QCOMPARE(t->currentIndex(), 3);
        QCOMPARE(t->currentWidget(), ui->tab);
        QCOMPARE(t->tabPosition(), QTabWidget::West);
        QCOMPARE(t->iconSize(), QSize(35, 35));
        QCOMPARE(t->elideMode(), Qt::ElideLeft);
        QVERIFY(!t->tabsClosable());
    }

    void iconosDeBotones_data()
    {
        QTest::addColumn<QString>("boton");
        QTest::addColumn<QString>("icono");
        // The "down" button shows the arrow pointing up, and the "up" button the one pointing down.
        QTest::newRow("SmsListaDown") << "SmsListaDown"
                                      << "icon-arrow-up-b.png";
        QTest::newRow("SmsListaUp") << "SmsListaUp"
                                    << "icon-arrow-down-b.png";
        QTest::newRow("pushPlay") << "pushPlay"
                                  << "icon-play.png";
        QTest::newRow("pushPause") << "pushPause"
                                   << "Pause_Icon.png";
    }
    void iconosDeBotones()
    {
        QFETCH(QString, boton);
        QFETCH(QString, icono);
        auto *b = hijo<QAbstractButton>(boton);
        QVERIFY(b);
        QVERIFY(b->text().isEmpty());
        const QImage recurso(kRaiz + icono);
        QVERIFY(!recurso.isNull());
        QCOMPARE(normalizada(b->icon().pixmap(recurso.size()).toImage()), normalizada(recurso));
    }

    void recursos_data()
    {
        QTest::addColumn<QString>("archivo");
        QTest::addColumn<QByteArray>("formato");
        QTest::addColumn<QSize>("tamano");
        const QSize s267(267, 267), s128(128, 128);
        QTest::newRow("nbsms.ico") << "nbsms.ico" << QByteArray("ico") << QSize(16, 16);
        QTest::newRow("iconos-01") << "iconos-01.png" << QByteArray("png") << s267;
        QTest::newRow("iconos-03") << "iconos-03.png" << QByteArray("png") << s267;
        QTest::newRow("iconoruvo-04") << "iconoruvo-04.png" << QByteArray("png") << s267;
        QTest::newRow("engranajes") << "Programming-Settings-3-icon.png" << QByteArray("png") << s128;
        QTest::newRow("ayuda") << "1460067265_ic_live_help_48px.png" << QByteArray("png") << s128;
        QTest::newRow("arriba") << "icon-arrow-up-b.png" << QByteArray("png") << s128;
        QTest::newRow("abajo") << "icon-arrow-down-b.png" << QByteArray("png") << s128;
        QTest::newRow("play") << "icon-play.png" << QByteArray("png") << QSize(24, 24);
        QTest::newRow("pausa") << "Pause_Icon.png" << QByteArray("png") << QSize(32, 32);
    }
    void recursos()
    {
        QFETCH(QString, archivo);
        QFETCH(QByteArray, formato);
        QFETCH(QSize, tamano);
        QFile f(kRaiz + archivo);
        QVERIFY2(f.open(QIODevice::ReadOnly), qPrintable(f.fileName()));
        f.close();

        QImageReader lector(kRaiz + archivo);
        QCOMPARE(lector.format(), formato);
        const QImage primera = lector.read();
        QVERIFY2(!primera.isNull(), qPrintable(lector.errorString()));
        QCOMPARE(primera.size(), tamano);
        QVERIFY(primera.hasAlphaChannel());
        // Transparent background: the corners show through.
        const int w = primera.width() - 1, h = primera.height() - 1;
        if (formato == "png") {
            for (const QPoint &p : {QPoint(0, 0), QPoint(w, 0), QPoint(0, h), QPoint(w, h)})
                QCOMPARE(qAlpha(primera.pixel(p)), 0);
        }
    }

    void icoTieneLosDosTamanos()
    {
        QImageReader lector(kRaiz + QStringLiteral("nbsms.ico"));
        QCOMPARE(lector.imageCount(), 2);
        QList<QSize> tamanos;
        for (int i = 0; i < lector.imageCount(); ++i) {
            QVERIFY(lector.jumpToImage(i));
            const QImage img = lector.read();
            QVERIFY2(!img.isNull(), qPrintable(lector.errorString()));
            QVERIFY(img.hasAlphaChannel());
            QCOMPARE(img.depth(), 32);
            // The emblem's tile has rounded corners: the very corner is see-through, the centre not.
            QCOMPARE(qAlpha(img.pixel(0, 0)), 0);
            QCOMPARE(qAlpha(img.pixel(img.width() / 2, img.height() / 2)), 255);
            tamanos << img.size();
        }
        QCOMPARE(tamanos, (QList<QSize>{QSize(16, 16), QSize(48, 48)}));
        QCOMPARE(QIcon(kRaiz + QStringLiteral("nbsms.ico")).availableSizes(),
                 (QList<QSize>{QSize(16, 16), QSize(48, 48)}));
    }

    void paqueteSoloConLosIconos()
    {
        QStringList esperados{QStringLiteral("1460067265_ic_live_help_48px.png"),
                              QStringLiteral("Pause_Icon.png"),
                              QStringLiteral("Programming-Settings-3-icon.png"),
                              QStringLiteral("icon-arrow-down-b.png"),
                              QStringLiteral("icon-arrow-up-b.png"),
                              QStringLiteral("icon-play.png"),
                              QStringLiteral("iconos-01.png"),
                              QStringLiteral("iconos-03.png"),
                              QStringLiteral("iconoruvo-04.png"),
                              QStringLiteral("nbsms.ico")};
        QStringList hay = QDir(kRaiz).entryList(QDir::AllEntries | QDir::NoDotAndDotDot);
        hay.sort();
        esperados.sort();
        QCOMPARE(hay, esperados);
        QCOMPARE(QDir(QStringLiteral(":/images")).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
                 QStringList{QStringLiteral("images")});
        QVERIFY(!QFile::exists(kRaiz + QStringLiteral("ayuda_home.html")));
        QVERIFY(!QFile::exists(QStringLiteral(":/images/ayuda_home.html")));
        QVERIFY(!QFile::exists(QStringLiteral(":/ayuda_home.html")));
    }

    // Guards against swapped or mirrored pictures: where the black mass of each arrow lies.
    void direccionDeLasFlechas_data()
    {
        QTest::addColumn<QString>("archivo");
        QTest::addColumn<bool>("vertical");
        QTest::addColumn<bool>("masEnLaPrimeraMitad"); // top half, or left half
        QTest::newRow("arriba") << "icon-arrow-up-b.png" << true << false;
        QTest::newRow("abajo") << "icon-arrow-down-b.png" << true << true;
        QTest::newRow("play") << "icon-play.png" << false << true;
    }
    void direccionDeLasFlechas()
    {
        QFETCH(QString, archivo);
        QFETCH(bool, vertical);
        QFETCH(bool, masEnLaPrimeraMitad);
        const QImage img(kRaiz + archivo);
        const int w = img.width(), h = img.height();
        const QRect primera = vertical ? QRect(0, 0, w, h / 2) : QRect(0, 0, w / 2, h);
        const QRect segunda = vertical ? QRect(0, h / 2, w, h - h / 2) : QRect(w / 2, 0, w - w / 2, h);
        const int a = opacos(img, primera), b = opacos(img, segunda);
        QVERIFY2(masEnLaPrimeraMitad ? 2 * a > 3 * b : 2 * b > 3 * a,
                 qPrintable(QStringLiteral("%1 / %2").arg(a).arg(b)));
    }

    void estadoInicial()
    {
        for (QLabel *valor :
             {ui->labelEstado, ui->labelSmsRecibidosInt, ui->labelSmsEnviadosInt, ui->labelSmsPendienteInt})
            QCOMPARE(valor->text(), QStringLiteral("vacio"));
        for (QLineEdit *campo : {ui->NumDestino, ui->ingresoLista, ui->ingresoErrores, ui->ingresoBackups,
                                 ui->ingresoInbox, ui->IPGateway, ui->NgwKey}) {
            QVERIFY2(campo->text().isEmpty(), qPrintable(campo->objectName()));
            QVERIFY2(!campo->validator(), qPrintable(campo->objectName()));
        }
        QVERIFY(ui->TextoManual->toPlainText().isEmpty());
        QVERIFY(ui->editFormatoSMS->toPlainText().isEmpty());
        QVERIFY(ui->TransformadaSMS->toPlainText().isEmpty());
        QVERIFY(ui->editFormatoSMS->acceptRichText());
        QVERIFY(ui->TransformadaSMS->acceptRichText());

        for (QComboBox *combo : {ui->comboCelular, ui->comboFecha}) {
            QVERIFY(combo->isEditable());
            QCOMPARE(combo->count(), 0);
            QVERIFY(combo->currentText().isEmpty());
            QVERIFY(!combo->validator());
        }

        QProgressBar *barra = ui->progressBar;
        QCOMPARE(barra->minimum(), 0);
        QCOMPARE(barra->maximum(), 0); // busy indicator
        QCOMPARE(barra->value(), -1);
        QVERIFY(!barra->isTextVisible());
        QVERIFY(!barra->invertedAppearance());

        QVERIFY(!ui->checkMinimizar->isChecked());
        QVERIFY(!ui->checkVerifPer->isChecked());
    }

    // Nothing of the form's own widgets starts disabled or hidden; the tab pages that are not
    // current are hidden by the tab widget itself.
    void nadaDeshabilitadoNiOculto()
    {
        QStringList paginas;
        for (int i = 0; i < ui->tabWidget->count(); ++i)
            paginas << ui->tabWidget->widget(i)->objectName();
        int revisados = 0;
        for (QWidget *w : ventana->findChildren<QWidget *>()) {
            const QString nombre = w->objectName();
            // Parts that Qt's own widgets make for themselves (tab bar scroll buttons, viewports...).
            if (nombre.isEmpty() || nombre.startsWith(QLatin1String("qt_")) ||
                ui->tabWidget->tabBar()->isAncestorOf(w))
                continue;
            ++revisados;
            QVERIFY2(w->isEnabled(), qPrintable(nombre));
            if (!paginas.contains(nombre))
                QVERIFY2(!w->isHidden(), qPrintable(nombre));
            if (auto *b = qobject_cast<QAbstractButton *>(w))
                QVERIFY2(!b->isChecked(), qPrintable(nombre));
        }
        QVERIFY(revisados > 60);
    }

    void textos_data()
    {
        QTest::addColumn<QString>("objeto");
        QTest::addColumn<QByteArray>("propiedad");
        QTest::addColumn<QString>("esperado");
        auto fila = [](const char *objeto, const char *propiedad, const char *esperado) {
            QTest::addRow("%s.%s", objeto, propiedad)
                << QString::fromLatin1(objeto) << QByteArray(propiedad) << QString::fromUtf8(esperado);
        };
        fila("label_11", "text", "  Envío manual");
        fila("label_12", "text", "  Envío masivo");
        fila("label_13", "text", "  Estado de envío y recepción");
        fila("label_14", "text", "  Configuración");
        fila("label_2", "text", "N° Destino");
        fila("BotonEnviar", "toolTip", "Enviar SMS");
        fila("pushAgregarListaToOutbox", "toolTip", "Agregar ");
        fila("pushAgregarListaToOutbox", "text", "Enviar SMS");
        fila("pushDetenerEnvioSMS", "text", "Detener envío SMS");
        fila("editFormatoSMS", "toolTip", "Conponer el mensaje a enviar");
        fila("checkVerifPer", "text", "Verificar periódicamente");
        fila("checkVerifPer", "toolTip", "Detectar nuevo archivo periodicamente");
        fila("pushAgregarCampo", "text", "Agregar campo...");
        fila("groupBox_2", "title", "Conexión con Nimbrel");
        fila("label_9", "text", "Copia del último envío masivo");
        fila("BuscarCarpetaOuts", "toolTip", "Buscar ubicacion de archivo de salida de informacion");
        fila("BuscarInbox", "toolTip", "Buscar el archivo donde se guardaran los SMSs recibidos");
        fila("open_set_horatio_envio", "text", "Horario de envío");
        fila("labelSmsPendiente", "text", "SMS Pendientes:");
    }
    void textos()
    {
        QFETCH(QString, objeto);
        QFETCH(QByteArray, propiedad);
        QFETCH(QString, esperado);
        QObject *o = hijo(objeto);
        QVERIFY2(o, qPrintable(objeto));
        QCOMPARE(o->property(propiedad.constData()).toString(), esperado);
    }

    void limitesDeTamano_data()
    {
        QTest::addColumn<QString>("boton");
        QTest::addColumn<QSize>("minimo");
        QTest::addColumn<QSize>("maximo");
        const QSize sinMaximo(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
        QTest::newRow("SmsListaDown") << "SmsListaDown" << QSize(0, 0) << QSize(20, 20);
        QTest::newRow("SmsListaUp") << "SmsListaUp" << QSize(0, 0) << QSize(20, 20);
        QTest::newRow("pushPlay") << "pushPlay" << QSize(0, 0) << QSize(30, 30);
        QTest::newRow("pushPause") << "pushPause" << QSize(0, 0) << QSize(30, 30);
        QTest::newRow("pushAgregarCampo") << "pushAgregarCampo" << QSize(0, 0) << QSize(120, 25);
        QTest::newRow("pushAgregarListaToOutbox")
            << "pushAgregarListaToOutbox" << QSize(105, 23) << sinMaximo;
        QTest::newRow("pushDetenerEnvioSMS") << "pushDetenerEnvioSMS" << QSize(105, 23) << sinMaximo;
    }
    void limitesDeTamano()
    {
        QFETCH(QString, boton);
        QFETCH(QSize, minimo);
        QFETCH(QSize, maximo);
        auto *w = hijo<QWidget>(boton);
        QVERIFY(w);
        QCOMPARE(w->minimumSize(), minimo);
        QCOMPARE(w->maximumSize(), maximo);
    }

    void banner_data()
    {
        QTest::addColumn<int>("grupo");
        QTest::addColumn<int>("rol");
        QTest::addColumn<QColor>("color");
        const QColor fondo(187, 207, 229), negro(Qt::black), blanco(Qt::white), medioClaro(221, 231, 242),
            oscuro(93, 103, 114), medio(125, 138, 153), fondoAyuda(255, 255, 220);
        using P = QPalette;
        for (P::ColorGroup g : {P::Active, P::Inactive, P::Disabled}) {
            const bool des = g == P::Disabled;
            const char *n = g == P::Active ? "activo" : g == P::Inactive ? "inactivo" : "deshabilitado";
            auto fila = [&](const char *rol, P::ColorRole r, const QColor &c) {
                QTest::addRow("%s %s", n, rol) << int(g) << int(r) << c;
            };
            fila("Window", P::Window, fondo);
            fila("Button", P::Button, fondo);
            fila("WindowText", P::WindowText, des ? oscuro : negro);
            fila("Text", P::Text, des ? oscuro : negro);
            fila("ButtonText", P::ButtonText, des ? oscuro : negro);
            fila("Shadow", P::Shadow, negro);
            fila("ToolTipText", P::ToolTipText, negro);
            fila("Base", P::Base, des ? fondo : blanco);
            fila("Light", P::Light, blanco);
            fila("BrightText", P::BrightText, blanco);
            fila("Midlight", P::Midlight, medioClaro);
            fila("AlternateBase", P::AlternateBase, des ? fondo : medioClaro);
            fila("Dark", P::Dark, oscuro);
            fila("Mid", P::Mid, medio);
            fila("ToolTipBase", P::ToolTipBase, fondoAyuda);
        }
    }
    void banner()
    {
        QFETCH(int, grupo);
        QFETCH(int, rol);
        QFETCH(QColor, color);
        for (QLabel *l : {ui->label_11, ui->label_12, ui->label_13, ui->label_14}) {
            QCOMPARE(l->font().pointSize(), 14);
            QVERIFY(l->autoFillBackground());
            QCOMPARE(l->palette().color(QPalette::ColorGroup(grupo), QPalette::ColorRole(rol)), color);
        }
    }

    // Each label sits on the same form row as the field it names.
    void paresDeFormulario_data()
    {
        QTest::addColumn<QString>("etiqueta");
        QTest::addColumn<QString>("campo");
        QTest::newRow("label_2") << "label_2"
                                 << "NumDestino";
        QTest::newRow("label") << "label"
                               << "TextoManual";
        QTest::newRow("label_3") << "label_3"
                                 << "comboCelular";
        QTest::newRow("label_4") << "label_4"
                                 << "comboFecha";
        QTest::newRow("label_15") << "label_15"
                                  << "labelEstado";
        QTest::newRow("labelSmsRecibidos") << "labelSmsRecibidos"
                                           << "labelSmsRecibidosInt";
        QTest::newRow("labelSmsEnviados") << "labelSmsEnviados"
                                          << "labelSmsEnviadosInt";
        QTest::newRow("labelSmsPendiente") << "labelSmsPendiente"
                                           << "labelSmsPendienteInt";
        QTest::newRow("label_6") << "label_6"
                                 << "IPGateway";
        QTest::newRow("label_7") << "label_7"
                                 << "NgwKey";
    }
    void paresDeFormulario()
    {
        QFETCH(QString, etiqueta);
        QFETCH(QString, campo);
        auto *l = hijo<QWidget>(etiqueta);
        auto *c = hijo<QWidget>(campo);
        QVERIFY(l && c);
        QFormLayout *formulario = nullptr;
        for (QFormLayout *f : ventana->findChildren<QFormLayout *>())
            if (f->indexOf(l) >= 0)
                formulario = f;
        QVERIFY(formulario);
        int filaL = -1, filaC = -1;
        QFormLayout::ItemRole rolL, rolC;
        formulario->getWidgetPosition(l, &filaL, &rolL);
        formulario->getWidgetPosition(c, &filaC, &rolC);
        QCOMPARE(filaC, filaL);
        QCOMPARE(rolL, QFormLayout::LabelRole);
        QCOMPARE(rolC, QFormLayout::FieldRole);
    }

    void companeros()
    {
        QCOMPARE(ui->label_6->buddy(), static_cast<QWidget *>(ui->IPGateway));
        QCOMPARE(ui->label_7->buddy(), static_cast<QWidget *>(ui->NgwKey));
    }

    void vistaDeAyuda()
    {
        QCOMPARE(ui->webView->objectName(), QStringLiteral("webView"));
        QCOMPARE(ui->webView->parentWidget(), ui->tab_2);
        QCOMPARE(ui->tab_2->findChildren<QWidget *>(QString(), Qt::FindDirectChildrenOnly),
                 (QList<QWidget *>{ui->webView, ui->labelVersion}));
#ifdef NBSMS_WEBKIT
        QCOMPARE(ui->webView->metaObject()->className(), "QWebView");
        QCOMPARE(ui->webView->url(), QUrl(QStringLiteral("about:blank")));
#else
        QCOMPARE(ui->webView->metaObject()->className(), "QTextBrowser");
        QVERIFY(ui->webView->source().isEmpty());
#endif
    }

    // Every slot of the main window named after a widget finds that widget and its signal in the
    // form, so connecting by name leaves none of them behind.
    void slotsPorNombre()
    {
        const QMetaObject &mo = MainWindow::staticMetaObject;
        int vistos = 0;
        for (int i = mo.methodOffset(); i < mo.methodCount(); ++i) {
            const QMetaMethod m = mo.method(i);
            const QString nombre = QString::fromLatin1(m.name());
            if (m.methodType() != QMetaMethod::Slot || !nombre.startsWith(QLatin1String("on_")))
                continue;
            const int corte = nombre.lastIndexOf(QLatin1Char('_'));
            const QString objeto = nombre.mid(3, corte - 3);
            const QByteArray senal = nombre.mid(corte + 1).toLatin1();
            QObject *o = hijo(objeto);
            QVERIFY2(o, qPrintable(nombre));
            bool hay = false;
            for (int k = 0; k < o->metaObject()->methodCount(); ++k) {
                const QMetaMethod s = o->metaObject()->method(k);
                // The slot may take fewer arguments than the signal gives.
                hay |= s.methodType() == QMetaMethod::Signal && s.name() == senal &&
                       s.parameterTypes().mid(0, m.parameterCount()) == m.parameterTypes();
            }
            QVERIFY2(hay, qPrintable(nombre));
            ++vistos;
        }
        QVERIFY(vistos > 20);
    }
};

NBSMS_TEST_MAIN(PruebaFormulario)
#include "prueba_formulario.moc"
