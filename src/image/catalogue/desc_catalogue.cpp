#include "image/catalogue/desc_catalogue.h"

#include <typeinfo>

#include "image/catalogue/desc_classes.h"

namespace orbisk {

namespace {

// The description of a chain class or of a catalogued one.
template <class T>
constexpr const DescClassInfo& InfoOf() {
    if constexpr (requires { T::kInfo; }) {
        return T::kInfo;
    } else if constexpr (std::is_same_v<T, CDescStringManu>) {
        return desc_info::CDescStringManu;
    } else if constexpr (std::is_same_v<T, CDescStringProd>) {
        return desc_info::CDescStringProd;
    } else if constexpr (std::is_same_v<T, CDescStringSN>) {
        return desc_info::CDescStringSN;
    } else if constexpr (std::is_same_v<T, CDescStringUBistName>) {
        return desc_info::CDescStringUBistName;
    } else if constexpr (std::is_same_v<T, CDescStringIAD>) {
        return desc_info::CDescStringIAD;
    } else if constexpr (std::is_same_v<T, CDescStringIRIAD>) {
        return desc_info::CDescStringIRIAD;
    } else if constexpr (std::is_same_v<T, CDescVIDPID>) {
        return desc_info::CDescVIDPID;
    } else if constexpr (std::is_same_v<T, CDescCodeInfo>) {
        return desc_info::CDescCodeInfo;
    } else {
        static_assert(std::is_same_v<T, CDescCRC>);
        return desc_info::CDescCRC;
    }
}

template <class T>
std::unique_ptr<CDescriptor> Make() {
    return std::make_unique<T>();
}

template <class T>
constexpr CatalogueEntry E(uint8_t type) {
    return {type, &InfoOf<T>(), &Make<T>};
}

constexpr CatalogueEntry kCommon[] = {
    E<CDescStringManu>(0x01),  E<CDescStringProd>(0x02),      E<CDescStringSN>(0x03),
    E<CDescVIDPID>(0x04),      E<CDescStringUBistName>(0x06), E<CDescStringIAD>(0x07),
    E<CDescStringIRIAD>(0x0C), E<CDescCodeInfo>(0x0F),        E<CDescNonCrystalGainTable>(0x12),
    E<CDescFrameRate>(0x21),
};

// 0 (0x6961)
constexpr CatalogueEntry kChip0[] = {
    E<CDescSysConfig>(0x05),
    E<CDescWriteBack>(0x09),
    E<CDescUsbIFTest>(0x10),
    E<CDescVendorRegSetting>(0x13),
    E<CDescSensorPowerControl_6961>(0x15),
    E<CDescVdCodeCramStartAddr>(0x16),
    E<CDescNFCalibrationTable>(0x17),
    E<CDescCRC>(0x1F),
    E<CDescDmicPara>(0x20),
    E<CDescUvcControlAttribute>(0x22),
    E<CDescQtable>(0x24),
    E<CDescIspControl>(0x31),
    E<CDescIspLSC>(0x32),
    E<CDescIspCCM>(0x33),
    E<CDescIspBlackLevel>(0x34),
    E<CDescIspWhiteBalance>(0x35),
    E<CDescIspAEC>(0x36),
    E<CDescIspEdgeEnhance>(0x37),
    E<CDescIspDeadPixel>(0x39),
    E<CDescIspZoom>(0x3B),
    E<CDescIspColorTempTable>(0x3C),
    E<CDescIspGamma>(0x3D),
    E<CDescIspAESpeed>(0x3E),
};

// 1 (0x6973)
constexpr CatalogueEntry kChip1[] = {
    E<CDescSysConfig>(0x05),
    E<CDescVideoFormat_6973>(0x0A),
    E<CDescFrameRateTable_6973>(0x0B),
    E<CDescUsbIFTest>(0x10),
    E<CDescSnrIspRegSetting>(0x11),
    E<CDescVendorRegSetting>(0x13),
    E<CDescSensorInfo_6973>(0x14),
    E<CDescSensorPowerControl_6973>(0x15),
    E<CDescVendorRegSetting_Cache_6973>(0x16),
    E<CDescNFCalibrationTable>(0x17),
    E<CDescDmicPara>(0x20),
    E<CDescUvcControlAttribute_6973>(0x22),
    E<CDescExtControlAttr_6973>(0x26),
    E<CDescSmallCachecode>(0x27),
    E<CDescIspCCM_6973>(0x33),
    E<CDescIspAEC_6973>(0x36),
    E<CDescIspNoiseReduction_6973>(0x38),
    E<CDescIspColorTempTable>(0x3C),
    E<CDescIspGamma_6973>(0x3D),
    E<CDescIspYUV2RGB>(0x3F),
};

// 2 (0x7476), 9 (0x7936), 11 (0x6783), 12 (0x7507), 13 (0x7464)
constexpr CatalogueEntry kChip2[] = {
    E<CDescSysConfig_7476>(0x05),
    E<CDescPPWriteBack>(0x09),
    E<CDescVideoFormat_6973>(0x0A),
    E<CDescFrameRateTable_6973>(0x0B),
    E<CDescUsbIFTest_7391X>(0x10),
    E<CDescSnrIspRegSetting>(0x11),
    E<CDescVendorRegSetting>(0x13),
    E<CDescSensorInfo_6973>(0x14),
    E<CDescSensorPowerControl_7476>(0x15),
    E<CDescVendorRegSetting_6987>(0x16),
    E<CDescNFCalibrationTable_7476>(0x17),
    E<CDescSSC_7476>(0x18),
    E<CDescDmicPara_7476>(0x19),
    E<CDescCFG_7476>(0x1A),
    E<CDescMICArray_7476>(0x1B),
    E<CDescUvcControlAttribute_7391H>(0x22),
    E<CDescSmallCachecode>(0x27),
    E<CDescIspCIFSPE_7476>(0x2A),
    E<CDescIspWhiteBalance_7391X>(0x2B),
    E<CDescIspMicroLSC_7391X>(0x2C),
    E<CDescIspEdgeEnhance_7391X>(0x2D),
    E<CDescIspInterpolation_7391X>(0x2E),
    E<CDescIspLSC_7391X>(0x32),
    E<CDescIspCCM_7391X>(0x33),
    E<CDescIspBLC_7391X>(0x34),
    E<CDescIspAEC_7476>(0x36),
    E<CDescIspFWVariable_7476>(0x38),
    E<CDescIspUVOffset_7476>(0x39),
    E<CDescIspZoom_7391X>(0x3B),
    E<CDescIspColorTempTable>(0x3C),
    E<CDescIspGamma_7476>(0x3D),
    E<CDescIspParam_7476>(0x3E),
    E<CDescIspYUV2RGB_7391X>(0x3F),
};

// 3 (0x6987)
constexpr CatalogueEntry kChip3[] = {
    E<CDescSysConfig_6987>(0x05),
    E<CDescPPWriteBack>(0x09),
    E<CDescVideoFormat_6973>(0x0A),
    E<CDescFrameRateTable_6973>(0x0B),
    E<CDescUsbIFTest_7391X>(0x10),
    E<CDescSnrIspRegSetting>(0x11),
    E<CDescSensorInfo_6973>(0x14),
    E<CDescSensorPowerControl_6987>(0x15),
    E<CDescVendorRegSetting_6987>(0x16),
    E<CDescNFCalibrationTable>(0x17),
    E<CDescCFG_7476>(0x1A),
    E<CDescDmicPara>(0x20),
    E<CDescUvcControlAttribute_6987>(0x22),
    E<CDescSmallCachecode>(0x27),
    E<CDescISPBlackPattern>(0x28),
    E<CDescIspCCM_6973>(0x33),
    E<CDescIspAEC_6973>(0x36),
    E<CDescIspNoiseReduction_6973>(0x38),
    E<CDescIspColorTempTable>(0x3C),
    E<CDescIspGamma_6973>(0x3D),
    E<CDescIspYUV2RGB>(0x3F),
};

// 4 (0x7350)
constexpr CatalogueEntry kChip4[] = {
    E<CDescSysConfig_7391X>(0x05),
    E<CDescVideoFormat_6973>(0x0A),
    E<CDescFrameRateTable_6973>(0x0B),
    E<CDescUsbIFTest_7391X>(0x10),
    E<CDescSnrIspRegSetting>(0x11),
    E<CDescVendorRegSetting>(0x13),
    E<CDescSensorInfo_6973>(0x14),
    E<CDescSensorPowerControl_6987>(0x15),
    E<CDescVendorRegSetting_6987>(0x16),
    E<CDescNFCalibrationTable_7391X>(0x17),
    E<CDescSSC>(0x18),
    E<CDescDmicPara>(0x20),
    E<CDescUvcControlAttribute_7391H>(0x22),
    E<CDescIspSUBLSC_7391X>(0x29),
    E<CDescIspCIFSPE>(0x2A),
    E<CDescIspWhiteBalance_7391X>(0x2B),
    E<CDescIspMicroLSC_7391X>(0x2C),
    E<CDescIspEdgeEnhance_7391X>(0x2D),
    E<CDescIspInterpolation_7391X>(0x2E),
    E<CDescIspSUBMicroLSC_7391X>(0x30),
    E<CDescIspLSC_7391X>(0x32),
    E<CDescIspCCM_7391X>(0x33),
    E<CDescIspBLC_7391X>(0x34),
    E<CDescIspAEC_7391X>(0x36),
    E<CDescIspNoiseReduction_7391X>(0x38),
    E<CDescIspUVOffset_7391X>(0x39),
    E<CDescIspAEWeight_7391X>(0x3A),
    E<CDescIspZoom_7391X>(0x3B),
    E<CDescIspColorTempTable>(0x3C),
    E<CDescIspGamma_6973>(0x3D),
    E<CDescIspYUV2RGB_7391X>(0x3F),
};

// 5 (0x6961)
constexpr CatalogueEntry kChip5[] = {
    E<CDescSysConfig>(0x05),
    E<CDescWriteBack_7391H>(0x09),
    E<CDescVideoFormat_6973>(0x0A),
    E<CDescFrameRateTable_7391H>(0x0B),
    E<CDescUsbIFTest_6987>(0x10),
    E<CDescVendorRegSetting_7391H>(0x13),
    E<CDescSensorPowerControl_6961H>(0x15),
    E<CDescVdCodeCramStartAddr>(0x16),
    E<CDescNFCalibrationTable>(0x17),
    E<CDescUBistTest_7391H>(0x18),
    E<CDescQtableScale_7391H>(0x19),
    E<CDescCRC>(0x1F),
    E<CDescDmicPara>(0x20),
    E<CDescUvcControlAttribute_7391H>(0x22),
    E<CDescQtable>(0x24),
    E<CDescISPBlackPattern>(0x28),
    E<CDescIspControl>(0x31),
    E<CDescIspLSC>(0x32),
    E<CDescIspCCM>(0x33),
    E<CDescIspBlackLevel>(0x34),
    E<CDescIspWhiteBalance>(0x35),
    E<CDescIspAEC>(0x36),
    E<CDescIspEdgeEnhance>(0x37),
    E<CDescIspDeadPixel>(0x39),
    E<CDescIspZoom>(0x3B),
    E<CDescIspColorTempTable>(0x3C),
    E<CDescIspGamma>(0x3D),
    E<CDescIspAESpeed>(0x3E),
};

// 6 (0x7476). CDescDmicPara is listed under 0x19 here and keeps that type in a rebuild.
constexpr CatalogueEntry kChip6[] = {
    E<CDescSysConfig_7391X>(0x05),
    E<CDescPPWriteBack>(0x09),
    E<CDescVideoFormat_6973>(0x0A),
    E<CDescFrameRateTable_6973>(0x0B),
    E<CDescUsbIFTest_7391X>(0x10),
    E<CDescSnrIspRegSetting>(0x11),
    E<CDescVendorRegSetting>(0x13),
    E<CDescSensorInfo_6973>(0x14),
    E<CDescSensorPowerControl_7476>(0x15),
    E<CDescVendorRegSetting_6987>(0x16),
    E<CDescNFCalibrationTable_7476>(0x17),
    E<CDescSSC>(0x18),
    E<CDescDmicPara>(0x19),
    E<CDescCFG_7476>(0x1A),
    E<CDescMICArray_7476>(0x1B),
    E<CDescUvcControlAttribute_7391H>(0x22),
    E<CDescSmallCachecode>(0x27),
    E<CDescIspCIFSPE_7476>(0x2A),
    E<CDescIspWhiteBalance_7391X>(0x2B),
    E<CDescIspMicroLSC_7391X>(0x2C),
    E<CDescIspEdgeEnhance_7391X>(0x2D),
    E<CDescIspInterpolation_7391X>(0x2E),
    E<CDescIspLSC_7391X>(0x32),
    E<CDescIspCCM_7391X>(0x33),
    E<CDescIspBLC_7391X>(0x34),
    E<CDescIspAEC_7476>(0x36),
    E<CDescIspNoiseReduction_7391X>(0x38),
    E<CDescIspUVOffset_7476>(0x39),
    E<CDescIspZoom_7391X>(0x3B),
    E<CDescIspColorTempTable>(0x3C),
    E<CDescIspGamma_7476>(0x3D),
    E<CDescIspParam_7476>(0x3E),
    E<CDescIspYUV2RGB_7391X>(0x3F),
};

// 7 (0x7584)
constexpr CatalogueEntry kChip7[] = {
    E<CDescSysConfig_7584>(0x05),
    E<CDescPPWriteBack_7584>(0x09),
    E<CDescVideoFormat_6973>(0x0A),
    E<CDescFrameRateTable_6973>(0x0B),
    E<CDescUsbIFTest_7584>(0x10),
    E<CDescSnrIspRegSetting>(0x11),
    E<CDescSensorInfo_6973>(0x14),
    E<CDescSensorPowerControl_6987>(0x15),
    E<CDescVendorRegSetting_6987>(0x16),
    E<CDescNFCalibrationTable_7584>(0x17),
    E<CDescSSC_7584>(0x18),
    E<CDescCFG_7476>(0x1A),
    E<CDescDmicPara>(0x20),
    E<CDescUvcControlAttribute_6987>(0x22),
    E<CDescSmallCachecode_7584>(0x27),
    E<CDescISPBlackPattern>(0x28),
    E<CDescIspCCM_6973>(0x33),
    E<CDescIspAEC_6973>(0x36),
    E<CDescIspNoiseReduction_6973>(0x38),
    E<CDescIspColorTempTable>(0x3C),
    E<CDescIspGamma_6973>(0x3D),
    E<CDescIspYUV2RGB>(0x3F),
};

// 8 (0x7350)
constexpr CatalogueEntry kChip8[] = {
    E<CDescSysConfig_7476>(0x05),
    E<CDescPPWriteBack>(0x09),
    E<CDescVideoFormat_6973>(0x0A),
    E<CDescFrameRateTable_6973>(0x0B),
    E<CDescUsbIFTest_7476>(0x10),
    E<CDescSnrIspRegSetting>(0x11),
    E<CDescVendorRegSetting>(0x13),
    E<CDescSensorInfo_6973>(0x14),
    E<CDescSensorPowerControl_7476>(0x15),
    E<CDescVendorRegSetting_6987>(0x16),
    E<CDescNFCalibrationTable_7476>(0x17),
    E<CDescSSC_7476>(0x18),
    E<CDescDmicPara_7476>(0x19),
    E<CDescCFG_7476>(0x1A),
    E<CDescMICArray_7476>(0x1B),
    E<CDescUvcControlAttribute_7391H>(0x22),
    E<CDescSmallCachecode>(0x27),
    E<CDescIspCIFSPE_7476>(0x2A),
    E<CDescIspWhiteBalance_7391X>(0x2B),
    E<CDescIspMicroLSC_7391X>(0x2C),
    E<CDescIspEdgeEnhance_7391X>(0x2D),
    E<CDescIspInterpolation_7391X>(0x2E),
    E<CDescIspLSC_7391X>(0x32),
    E<CDescIspCCM_7391X>(0x33),
    E<CDescIspBLC_7391X>(0x34),
    E<CDescIspAEC_7476>(0x36),
    E<CDescIspFWVariable_7476>(0x38),
    E<CDescIspUVOffset_7476>(0x39),
    E<CDescIspZoom_7391X>(0x3B),
    E<CDescIspColorTempTable>(0x3C),
    E<CDescIspGamma_7476>(0x3D),
    E<CDescIspParam_7476>(0x3E),
    E<CDescIspYUV2RGB_7391X>(0x3F),
};

// 10 (0x6644)
constexpr CatalogueEntry kChip10[] = {
    E<CDescSysConfig_7476>(0x05),
    E<CDescPPWriteBack>(0x09),
    E<CDescVideoFormat_6644>(0x0A),
    E<CDescFrameRateTable_6973>(0x0B),
    E<CDescUsbIFTest_7391X>(0x10),
    E<CDescSnrIspRegSetting>(0x11),
    E<CDescVendorRegSetting>(0x13),
    E<CDescSensorInfo_6973>(0x14),
    E<CDescSensorPowerControl_7476>(0x15),
    E<CDescVendorRegSetting_6987>(0x16),
    E<CDescNFCalibrationTable_7476>(0x17),
    E<CDescSSC_7476>(0x18),
    E<CDescDmicPara_7476>(0x19),
    E<CDescCFG_7476>(0x1A),
    E<CDescMICArray_7476>(0x1B),
    E<CDescUvcControlAttribute_7391H>(0x22),
    E<CDescSmallCachecode>(0x27),
    E<CDescIspCIFSPE_7476>(0x2A),
    E<CDescIspWhiteBalance_7391X>(0x2B),
    E<CDescIspMicroLSC_7391X>(0x2C),
    E<CDescIspEdgeEnhance_7391X>(0x2D),
    E<CDescIspInterpolation_7391X>(0x2E),
    E<CDescIspLSC_7391X>(0x32),
    E<CDescIspCCM_7391X>(0x33),
    E<CDescIspBLC_7391X>(0x34),
    E<CDescIspAEC_7476>(0x36),
    E<CDescIspFWVariable_7476>(0x38),
    E<CDescIspUVOffset_7476>(0x39),
    E<CDescIspZoom_7391X>(0x3B),
    E<CDescIspColorTempTable>(0x3C),
    E<CDescIspGamma_7476>(0x3D),
    E<CDescIspParam_7476>(0x3E),
    E<CDescIspYUV2RGB_7391X>(0x3F),
};

// 17 (0x7308): audio. Its 0x08, 0x1F and 0x2F records are not the chain's own records.
constexpr CatalogueEntry kChip17[] = {
    E<CDescI2S0_7308>(0x08),
    E<CDescI2S0Channel>(0x09),
    E<CDescI2S1_7308>(0x0A),
    E<CDescI2S1Channel>(0x0B),
    E<CDescI2SCodec1Setting>(0x10),
    E<CDescI2SCodecCommonSetting>(0x1B),
    E<CDescI2SCodecStartInSetting>(0x1C),
    E<CDescI2SCodecCloseInSetting>(0x1D),
    E<CDescI2SCodecStartOutSetting>(0x1E),
    E<CDescI2SCodecCloseOutSetting>(0x1F),
    E<CDescI2SCodecCloseAllSetting>(0x20),
    E<CDescEndPointType>(0x2F),
    E<CDescI2SEPAVolumeSetting>(0x30),
    E<CDescI2SEPBVolumeSetting>(0x31),
    E<CDescI2SEPCVolumeSetting>(0x32),
    E<CDescI2SEPDVolumeSetting>(0x33),
    E<CDescI2SEPGVolumeSetting>(0x34),
    E<CDescI2SEPHVolumeSetting>(0x35),
    E<CDescI2SEPIVolumeSetting>(0x36),
    E<CDescI2SEPJVolumeSetting>(0x37),
    E<CDescI2SCodec0InMuteSetting>(0x38),
    E<CDescI2SCodec0OutMuteSetting>(0x39),
    E<CDescI2SCodec1MuteSetting>(0x3A),
};

// 19 (0x6099)
constexpr CatalogueEntry kChip19[] = {
    E<CDescSysConfig_6099>(0x05),
    E<CDescPPWriteBack_6099>(0x09),
    E<CDescSLB>(0x0E),
    E<CDescSensorInfo_6099>(0x14),
    E<CDescCFG_7476>(0x1A),
    E<CDescUvcControlAttribute_6099>(0x22),
    E<CDescPreviewDelay_6099>(0x25),
    E<CDescSmallCachecode>(0x27),
};

// 21 (0x7805), 24 (0x6158)
constexpr CatalogueEntry kChip21[] = {E<CDescSLB>(0x0E), E<CDescSmallCachecode>(0x27)};

// By chip model index; chip models without chip-specific types have an empty table.
constexpr std::span<const CatalogueEntry> kChipTables[kCatalogueChipModels] = {
    kChip0, kChip1,  kChip2, kChip3,  kChip4, kChip5, kChip6,  kChip7, kChip8,
    kChip2, kChip10, kChip2, kChip2,  kChip2, {},     {},      {},     kChip17,
    {},     kChip19, {},     kChip21, {},     {},     kChip21, {},
};

}  // namespace

std::span<const CatalogueEntry> CommonCatalogue() {
    return kCommon;
}

std::span<const DescClassInfo* const> AllDescClasses() {
    return desc_info::kAllDescClasses;
}

std::span<const CatalogueEntry> ChipCatalogue(uint8_t chip_model) {
    if (chip_model >= kCatalogueChipModels) return {};
    return kChipTables[chip_model];
}

const CatalogueEntry* FindCatalogueEntry(uint8_t chip_model, uint8_t type) {
    if (chip_model >= kCatalogueChipModels) return nullptr;
    for (const CatalogueEntry& e : kCommon)
        if (e.type == type) return &e;
    for (const CatalogueEntry& e : kChipTables[chip_model])
        if (e.type == type) return &e;
    return nullptr;
}

bool UsesExtendedForm(uint8_t chip_model, uint8_t type) {
    if (IsExtendableType(type)) return true;
    const CatalogueEntry* e = FindCatalogueEntry(chip_model, type);
    return e != nullptr && e->info->extended_form;
}

bool IsCrcRecord(uint8_t chip_model, uint8_t type) {
    const CatalogueEntry* e = FindCatalogueEntry(chip_model, type);
    return e != nullptr && e->info->shape == DescShape::kCrc;
}

std::string_view DescriptorClassName(const CDescriptor& d) {
    if (auto* c = dynamic_cast<const CDescCatalogued*>(&d)) return c->info().name;
    if (dynamic_cast<const CDescStringManu*>(&d)) return desc_info::CDescStringManu.name;
    if (dynamic_cast<const CDescStringProd*>(&d)) return desc_info::CDescStringProd.name;
    if (dynamic_cast<const CDescStringSN*>(&d)) return desc_info::CDescStringSN.name;
    if (dynamic_cast<const CDescStringUBistName*>(&d)) return desc_info::CDescStringUBistName.name;
    if (dynamic_cast<const CDescStringIAD*>(&d)) return desc_info::CDescStringIAD.name;
    if (dynamic_cast<const CDescStringIRIAD*>(&d)) return desc_info::CDescStringIRIAD.name;
    if (dynamic_cast<const CDescString*>(&d)) return "CDescString";
    if (dynamic_cast<const CDescVIDPID*>(&d)) return desc_info::CDescVIDPID.name;
    if (dynamic_cast<const CDescCodeInfo*>(&d)) return desc_info::CDescCodeInfo.name;
    if (dynamic_cast<const CDescCRC*>(&d)) return desc_info::CDescCRC.name;
    if (dynamic_cast<const CDescHWAPVersion*>(&d)) return "CDescHWAPVersion";
    if (dynamic_cast<const CDescEEPInfo*>(&d)) return "CDescEEPInfo";
    if (dynamic_cast<const CDescDummy*>(&d)) return "CDescDummy";
    return "CDescriptor";
}

}  // namespace orbisk
