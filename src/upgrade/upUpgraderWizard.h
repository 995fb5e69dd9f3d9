#pragma once

#include "upTypes.h"

#include <QDialog>
#include <QHash>
#include <QPixmap>
#include <QRect>
#include <QPointer>

class QFrame;
class QGroupBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;

// Settings of the wizard shown during downloads.
class TupUpgraderWizard
{
public:
    // Chooses the language automatically, as assigning wlAuto does.
    TupUpgraderWizard();

    bool Enabled = true;
    QPixmap Pic118x218; // replaces the wizard's own picture when set
    bool StayOnTop = true;

    Upgrade::TupWizardLanguage Language() const { return m_language; }
    // Makes the language current for every upgrade text of the process.
    void setLanguage(Upgrade::TupWizardLanguage language);

private:
    Upgrade::TupWizardLanguage m_language = Upgrade::wlAuto;
};

// The download wizard: shows the file being fetched and the progress, then the
// completion page. Modeless; frees itself when closed. Closing it before the
// upgrade has been carried out asks, and a confirmed close aborts the upgrade.
class TupUpgraderWizardForm : public QDialog
{
    Q_OBJECT

public:
    explicit TupUpgraderWizardForm(QWidget *parent = nullptr);

    QFrame *Panel1 = nullptr;
    QLabel *Image1 = nullptr;
    QLabel *WizardTitle = nullptr;
    QLabel *AfterNote = nullptr;
    QGroupBox *LCurrentFile = nullptr;
    QLabel *LDownloadingFileFrom = nullptr;
    QLineEdit *FileURL = nullptr;
    QLabel *FileSizeLab = nullptr;
    QLabel *TransferRateLab = nullptr;
    QLabel *EstimatedTimeLeftLab = nullptr;
    QProgressBar *ProgressCurrentFile = nullptr;
    QGroupBox *LAllFiles = nullptr;
    QLabel *AllDownloading = nullptr;
    QProgressBar *ProgressAllFiles = nullptr;
    QFrame *Bevel1 = nullptr;
    QLabel *AboutShadow = nullptr;
    QLabel *AboutLabel = nullptr;
    QPushButton *FinishBtn = nullptr;
    QPushButton *CancelBtn = nullptr;

    // Texts and look for the start of the downloads.
    void prepare(const TupUpgraderWizard &settings);
    // The completion page: the note, OK enabled and focused, Cancel disabled.
    void showCompletion();
    bool completed() const { return m_completed; }

    // The form's design is at 120 dots per inch; positions scale to the 96 of Qt's
    // logical pixels.
    static int scaled(int designPixels);

signals:
    // The user confirmed closing the wizard before the upgrade was carried out.
    void upgradeAborted();

protected:
    void closeEvent(QCloseEvent *event) override;
    void reject() override;
    void changeEvent(QEvent *event) override;

private:
    // Puts the contents of the group boxes inside their frames, below their titles,
    // as the current font and style draw them. The design's positions are kept where
    // they leave room; otherwise the boxes, and the window below them, grow.
    void arrange();

    QHash<QWidget *, QRect> m_design; // design geometry of what arrange() moves
    int m_designHeight = 0;
    bool m_completed = false;
    bool m_finishing = false;
};

extern QPointer<TupUpgraderWizardForm> upUpgraderWizardForm;

// Creates the wizard unless it exists, fills its texts and shows it without waiting.
TupUpgraderWizardForm *upShowWizard(const TupUpgraderWizard &settings);
