#pragma once

#include <QFlags>
#include <QObject>

// The value types of the upgrade component's published properties.
namespace Upgrade {
Q_NAMESPACE

enum TupWizardLanguage {
    wlAuto,
    wlEnglish,
    wlRussian,
    wlGerman,
    wlFrench,
    wlSpanish,
    wlPortuguese,
    wlPortugueseBrazilian,
    wlItalian,
    wlDutch,
    wlDanish,
    wlSwedish,
    wlFinnish,
    wlEstonian,
    wlUkrainian,
    wlCzech,
    wlHungarian,
    wlRomanian,
    wlCatalan,
    wlBasque,
    wlAfrikaans,
    wlChineseTraditional,
    wlChineseSimplified,
    wlIndonesian,
    wlMalay,
    wlIcelandic,
};
Q_ENUM_NS(TupWizardLanguage)

enum TupUpgradeMethod { umSelfUpgrade, umUseExternalSetup, umRedirectToURL };
Q_ENUM_NS(TupUpgradeMethod)

enum TupVersionControl { byDate, byNumber };
Q_ENUM_NS(TupVersionControl)

enum TupMiscFilesUpgrade { mfuAlwaysDownload, mfuOnlyIfSizeDifferent };
Q_ENUM_NS(TupMiscFilesUpgrade)

enum TupUpgraderMessage {
    mAskUpgrade = 0x01,
    mConnLost = 0x02,
    mHostUnreachable = 0x04,
    mLostFile = 0x08,
    mNoInfoFile = 0x10,
    mNoUpdateAvailable = 0x20,
    mPasswordRequest = 0x40,
};
Q_DECLARE_FLAGS(TupUpgraderMessages, TupUpgraderMessage)
Q_FLAG_NS(TupUpgraderMessages)

} // namespace Upgrade

Q_DECLARE_OPERATORS_FOR_FLAGS(Upgrade::TupUpgraderMessages)
