#pragma once
// The field dialog: picks a column reference and builds the "[name]" or "{name}" to insert
// into the message template.

#include <QDialog>
#include <QString>
#include <QStringList>

namespace Ui {
class add_word_to_sms;
}

class add_word_to_sms : public QDialog
{
    Q_OBJECT

public:
    explicit add_word_to_sms(QWidget *parent = nullptr);
    ~add_word_to_sms() override;

    // Appends the names after the items already offered.
    void cargarEtiquetas(const QStringList &etiquetas);
    QString getEtiqueta() const;

    Ui::add_word_to_sms *formulario() const { return m_ui; }

public slots:
    void on_buttonBox_accepted();

protected:
    // Shown at least as wide as its title, which the window manager would otherwise cut.
    void showEvent(QShowEvent *evento) override;

private:
    Ui::add_word_to_sms *m_ui;
    QString m_etiqueta;
};
