#include "bus/copy_status.h"

#include "session/copy_session.h"
#include "vocabulary/settings_vocabulary.h"

namespace {

QString Key(std::string_view key) {
    return QString::fromLatin1(key.data(), static_cast<qsizetype>(key.size()));
}

QString Named(const Setting& setting, int32_t value) {
    return QString::fromStdString(NameOf(setting, value));
}

} // namespace

QVariantMap CopyStatus(const CopySession& session) {
    const GeneratorSettings& settings = session.Settings();
    const OutputFormat& format = session.Format();
    const int32_t number = session.CopyNumber();
    return {
        {Key(status_key::kNumber), number},
        {Key(status_key::kSourceName), number > 0 ? session.SourceName() : QString()},
        {Key(status_key::kSending), session.Sending()},
        {Key(status_key::kWidth), format.width},
        {Key(status_key::kHeight), format.height},
        {Key(status_key::kRateNumerator), format.frameRateN},
        {Key(status_key::kRateDenominator), format.frameRateD},
        {Key(status_key::kFramesSent), qulonglong{session.FramesSent()}},
        {Key(kFillPatternSetting.key), Named(kFillPatternSetting, settings.fillPattern)},
        {Key(kRotationSetting.key), Named(kRotationSetting, settings.rotationMode)},
        {Key(kRotationSliderSetting.key), settings.rotationPeriodMs},
        {Key(status_key::kClouds), settings.cloudsOn},
        {Key(kCloudSetSetting.key), settings.cloudSet + 1},
        {Key(kCloudSpeedSetting.key), settings.cloudSpeed},
        {Key(kPresetSlotSetting.key), session.Presets().m_presetSlot + 1},
        {Key(status_key::kMask), settings.useMask},
        {Key(status_key::kMaskPath), session.MaskFilePath()},
        {Key(status_key::kPixelFormat), Key(kPixelFormatNames[session.Uyvy() ? 1 : 0])},
        {Key(status_key::kFourCC), QString::fromLatin1(session.FourCCText())},
    };
}
