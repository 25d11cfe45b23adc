#pragma once
// The descriptor classes of the configuration area, one description per class: its shape, the
// type code it is listed under, its record lengths and the bits a rebuild writes back. The
// chip tables (desc_catalogue.cpp) say which class reads which type on which chip model.
#include "image/catalogue/desc_class_info.h"
#include "image/catalogue/desc_shapes.h"

namespace orbisk::desc_info {

// Fixed-length classes (the length is what a rebuild writes, whatever was read).
inline constexpr DescClassInfo CDescDmicPara{"CDescDmicPara", DescShape::kFixed, 0x20, 7, 7};
inline constexpr ByteRule kCDescDmicPara_7476Rules[] = {{8, 0x10}, {9, 0xC0}};
inline constexpr DescClassInfo CDescDmicPara_7476{
    "CDescDmicPara_7476", DescShape::kFixed, 0x19, 12, 12, kCDescDmicPara_7476Rules};
inline constexpr DescClassInfo CDescEndPointType{"CDescEndPointType", DescShape::kFixed, 0x2F, 18,
                                                 18};
inline constexpr DescClassInfo CDescExtControlAttr_6973{"CDescExtControlAttr_6973",
                                                        DescShape::kFixed, 0x26, 3, 3};
inline constexpr DescClassInfo CDescFrameRate{"CDescFrameRate", DescShape::kFixed, 0x21, 38, 38};
inline constexpr DescClassInfo CDescFrameRateTable_6973{"CDescFrameRateTable_6973",
                                                        DescShape::kFixed, 0x0B, 18, 18};
inline constexpr DescClassInfo CDescFrameRateTable_7391H{"CDescFrameRateTable_7391H",
                                                         DescShape::kFixed, 0x0B, 18, 18};
inline constexpr DescClassInfo CDescI2S0Channel{"CDescI2S0Channel", DescShape::kFixed, 0x09, 10,
                                                10};
inline constexpr DescClassInfo CDescI2S0_7308{"CDescI2S0_7308", DescShape::kFixed, 0x08, 29, 29};
inline constexpr DescClassInfo CDescI2S1Channel{"CDescI2S1Channel", DescShape::kFixed, 0x0B, 6, 6};
inline constexpr DescClassInfo CDescI2S1_7308{"CDescI2S1_7308", DescShape::kFixed, 0x0A, 17, 17};
inline constexpr DescClassInfo CDescI2SCodec0InMuteSetting{"CDescI2SCodec0InMuteSetting",
                                                           DescShape::kFixed, 0x38, 38, 38};
inline constexpr DescClassInfo CDescI2SCodec0OutMuteSetting{"CDescI2SCodec0OutMuteSetting",
                                                            DescShape::kFixed, 0x39, 38, 38};
inline constexpr DescClassInfo CDescI2SCodec1MuteSetting{"CDescI2SCodec1MuteSetting",
                                                         DescShape::kFixed, 0x3A, 26, 26};
inline constexpr DescClassInfo CDescI2SCodec1Setting{"CDescI2SCodec1Setting", DescShape::kFixed,
                                                     0x10, 26, 26};
inline constexpr DescClassInfo CDescI2SEPAVolumeSetting{"CDescI2SEPAVolumeSetting",
                                                        DescShape::kFixed, 0x30, 56, 56};
inline constexpr DescClassInfo CDescI2SEPBVolumeSetting{"CDescI2SEPBVolumeSetting",
                                                        DescShape::kFixed, 0x31, 32, 32};
inline constexpr DescClassInfo CDescI2SEPCVolumeSetting{"CDescI2SEPCVolumeSetting",
                                                        DescShape::kFixed, 0x32, 32, 32};
inline constexpr DescClassInfo CDescI2SEPDVolumeSetting{"CDescI2SEPDVolumeSetting",
                                                        DescShape::kFixed, 0x33, 32, 32};
inline constexpr DescClassInfo CDescI2SEPGVolumeSetting{"CDescI2SEPGVolumeSetting",
                                                        DescShape::kFixed, 0x34, 56, 56};
inline constexpr DescClassInfo CDescI2SEPHVolumeSetting{"CDescI2SEPHVolumeSetting",
                                                        DescShape::kFixed, 0x35, 32, 32};
inline constexpr DescClassInfo CDescI2SEPIVolumeSetting{"CDescI2SEPIVolumeSetting",
                                                        DescShape::kFixed, 0x36, 32, 32};
inline constexpr DescClassInfo CDescI2SEPJVolumeSetting{"CDescI2SEPJVolumeSetting",
                                                        DescShape::kFixed, 0x37, 32, 32};
inline constexpr DescClassInfo CDescISPBlackPattern{"CDescISPBlackPattern", DescShape::kFixed, 0x28,
                                                    7, 7};
inline constexpr DescClassInfo CDescIspAEC{"CDescIspAEC", DescShape::kFixed, 0x36, 8, 8};
inline constexpr DescClassInfo CDescIspAEC_6973{"CDescIspAEC_6973", DescShape::kFixed, 0x36, 6, 6};
inline constexpr DescClassInfo CDescIspAEC_7391X{"CDescIspAEC_7391X", DescShape::kFixed, 0x36, 30,
                                                 30};
inline constexpr ByteRule kCDescIspAEC_7476Rules[] = {{11, 0xFF, 0, ByteOp::kBoolean},
                                                      {29, 0xFF, 0, ByteOp::kBoolean}};
inline constexpr DescClassInfo CDescIspAEC_7476{
    "CDescIspAEC_7476", DescShape::kFixed, 0x36, 31, 31, kCDescIspAEC_7476Rules};
inline constexpr DescClassInfo CDescIspAESpeed{"CDescIspAESpeed", DescShape::kFixed, 0x3E, 10, 10};
inline constexpr DescClassInfo CDescIspAEWeight_7391X{"CDescIspAEWeight_7391X", DescShape::kFixed,
                                                      0x3A, 29, 29};
inline constexpr DescClassInfo CDescIspBLC_7391X{"CDescIspBLC_7391X", DescShape::kFixed, 0x34, 6,
                                                 6};
inline constexpr DescClassInfo CDescIspBlackLevel{"CDescIspBlackLevel", DescShape::kFixed, 0x34, 7,
                                                  7};
inline constexpr DescClassInfo CDescIspCCM{"CDescIspCCM", DescShape::kFixed, 0x33, 24, 24};
// Nine sign-magnitude coefficients (low byte, then bits 0..1 magnitude and bit 3 sign),
// then three bytes as read.
inline constexpr ByteRule kCDescIspCCM_7391XRules[] = {
    {3, 0x0B, 0, ByteOp::kSignMagnitudeHigh},  {5, 0x0B, 0, ByteOp::kSignMagnitudeHigh},
    {7, 0x0B, 0, ByteOp::kSignMagnitudeHigh},  {9, 0x0B, 0, ByteOp::kSignMagnitudeHigh},
    {11, 0x0B, 0, ByteOp::kSignMagnitudeHigh}, {13, 0x0B, 0, ByteOp::kSignMagnitudeHigh},
    {15, 0x0B, 0, ByteOp::kSignMagnitudeHigh}, {17, 0x0B, 0, ByteOp::kSignMagnitudeHigh},
    {19, 0x0B, 0, ByteOp::kSignMagnitudeHigh}};
inline constexpr DescClassInfo CDescIspCCM_7391X{
    "CDescIspCCM_7391X", DescShape::kFixed, 0x33, 23, 23, kCDescIspCCM_7391XRules};
inline constexpr ByteRule kCDescIspCIFSPERules[] = {{2, 0x07}};
inline constexpr DescClassInfo CDescIspCIFSPE{"CDescIspCIFSPE",    DescShape::kFixed, 0x2A, 3, 3,
                                              kCDescIspCIFSPERules};
inline constexpr ByteRule kCDescIspCIFSPE_7476Rules[] = {{2, 0x0F}};
inline constexpr DescClassInfo CDescIspCIFSPE_7476{
    "CDescIspCIFSPE_7476", DescShape::kFixed, 0x2A, 3, 3, kCDescIspCIFSPE_7476Rules};
inline constexpr ByteRule kCDescIspControlRules[] = {{2, 0xF8}, {3, 0xD4}};
inline constexpr DescClassInfo CDescIspControl{"CDescIspControl",    DescShape::kFixed, 0x31, 4, 4,
                                               kCDescIspControlRules};
inline constexpr DescClassInfo CDescIspEdgeEnhance{"CDescIspEdgeEnhance", DescShape::kFixed, 0x37,
                                                   11, 11};
inline constexpr DescClassInfo CDescIspEdgeEnhance_7391X{"CDescIspEdgeEnhance_7391X",
                                                         DescShape::kFixed, 0x2D, 50, 50};
inline constexpr DescClassInfo CDescIspInterpolation_7391X{"CDescIspInterpolation_7391X",
                                                           DescShape::kFixed, 0x2E, 14, 14};
inline constexpr DescClassInfo CDescIspLSC{"CDescIspLSC", DescShape::kFixed, 0x32, 54, 54};
inline constexpr DescClassInfo CDescIspNoiseReduction_7391X{"CDescIspNoiseReduction_7391X",
                                                            DescShape::kFixed, 0x38, 23, 23};
inline constexpr DescClassInfo CDescIspParam_7476{"CDescIspParam_7476", DescShape::kFixed, 0x3E, 50,
                                                  50};
inline constexpr DescClassInfo CDescIspUVOffset_7391X{"CDescIspUVOffset_7391X", DescShape::kFixed,
                                                      0x39, 4, 4};
inline constexpr DescClassInfo CDescIspUVOffset_7476{"CDescIspUVOffset_7476", DescShape::kFixed,
                                                     0x39, 6, 6};
inline constexpr DescClassInfo CDescIspWhiteBalance{"CDescIspWhiteBalance", DescShape::kFixed, 0x35,
                                                    26, 26};
inline constexpr DescClassInfo CDescIspWhiteBalance_7391X{"CDescIspWhiteBalance_7391X",
                                                          DescShape::kFixed, 0x2B, 56, 56};
inline constexpr DescClassInfo CDescIspYUV2RGB{"CDescIspYUV2RGB", DescShape::kFixed, 0x3F, 16, 16};
inline constexpr DescClassInfo CDescIspYUV2RGB_7391X{"CDescIspYUV2RGB_7391X", DescShape::kFixed,
                                                     0x3F, 22, 22};
inline constexpr DescClassInfo CDescNFCalibrationTable{"CDescNFCalibrationTable", DescShape::kFixed,
                                                       0x17, 86, 86};
inline constexpr DescClassInfo CDescNFCalibrationTable_7391X{"CDescNFCalibrationTable_7391X",
                                                             DescShape::kFixed, 0x17, 93, 93};
inline constexpr DescClassInfo CDescNFCalibrationTable_7476{"CDescNFCalibrationTable_7476",
                                                            DescShape::kFixed, 0x17, 8, 8};
inline constexpr DescClassInfo CDescNFCalibrationTable_7584{"CDescNFCalibrationTable_7584",
                                                            DescShape::kFixed, 0x17, 8, 8};
inline constexpr DescClassInfo CDescNonCrystalGainTable{"CDescNonCrystalGainTable",
                                                        DescShape::kFixed, 0x12, 42, 42};
inline constexpr DescClassInfo CDescPreviewDelay_6099{"CDescPreviewDelay_6099", DescShape::kFixed,
                                                      0x25, 4, 4};
inline constexpr DescClassInfo CDescQtableScale_7391H{"CDescQtableScale_7391H", DescShape::kFixed,
                                                      0x19, 3, 3};
inline constexpr DescClassInfo CDescSLB{"CDescSLB", DescShape::kFixed, 0x0E, 15, 15};
inline constexpr ByteRule kCDescSSCRules[] = {{2, 0xF0}};
inline constexpr DescClassInfo CDescSSC{"CDescSSC", DescShape::kFixed, 0x18, 3, 3, kCDescSSCRules};
inline constexpr ByteRule kCDescSSC_7476Rules[] = {{3, 0x7F}, {4, 0x73, 0x08}};
inline constexpr DescClassInfo CDescSSC_7476{"CDescSSC_7476",    DescShape::kFixed, 0x18, 10, 10,
                                             kCDescSSC_7476Rules};
inline constexpr ByteRule kCDescSSC_7584Rules[] = {{2, 0xF0}};
inline constexpr DescClassInfo CDescSSC_7584{"CDescSSC_7584",    DescShape::kFixed, 0x18, 3, 3,
                                             kCDescSSC_7584Rules};
inline constexpr DescClassInfo CDescSensorInfo_6099{"CDescSensorInfo_6099", DescShape::kFixed, 0x14,
                                                    5, 5};
inline constexpr DescClassInfo CDescSensorInfo_6973{"CDescSensorInfo_6973", DescShape::kFixed, 0x14,
                                                    7, 7};
inline constexpr DescClassInfo CDescSensorPowerControl_6961{"CDescSensorPowerControl_6961",
                                                            DescShape::kFixed, 0x15, 8, 8};
inline constexpr ByteRule kCDescSensorPowerControl_6961HRules[] = {{2, 0xF3}};
inline constexpr DescClassInfo CDescSensorPowerControl_6961H{
    "CDescSensorPowerControl_6961H",    DescShape::kFixed, 0x15, 8, 8,
    kCDescSensorPowerControl_6961HRules};
inline constexpr ByteRule kCDescSensorPowerControl_6973Rules[] = {{2, 0x07}};
inline constexpr DescClassInfo CDescSensorPowerControl_6973{
    "CDescSensorPowerControl_6973",    DescShape::kFixed, 0x15, 9, 9,
    kCDescSensorPowerControl_6973Rules};
inline constexpr DescClassInfo CDescSensorPowerControl_6987{"CDescSensorPowerControl_6987",
                                                            DescShape::kFixed, 0x15, 9, 9};
inline constexpr DescClassInfo CDescSensorPowerControl_7476{"CDescSensorPowerControl_7476",
                                                            DescShape::kFixed, 0x15, 10, 10};
inline constexpr ByteRule kCDescSysConfigRules[] = {{9, 0x8F}, {10, 0xCF}};
inline constexpr DescClassInfo CDescSysConfig{"CDescSysConfig",    DescShape::kFixed, 0x05, 12, 12,
                                              kCDescSysConfigRules};
inline constexpr DescClassInfo CDescSysConfig_6099{"CDescSysConfig_6099", DescShape::kFixed, 0x05,
                                                   5, 5};
inline constexpr DescClassInfo CDescSysConfig_6987{"CDescSysConfig_6987", DescShape::kFixed, 0x05,
                                                   5, 5};
inline constexpr DescClassInfo CDescSysConfig_7391X{"CDescSysConfig_7391X", DescShape::kFixed, 0x05,
                                                    4, 4};
inline constexpr DescClassInfo CDescSysConfig_7476{"CDescSysConfig_7476", DescShape::kFixed, 0x05,
                                                   4, 4};
inline constexpr DescClassInfo CDescSysConfig_7584{"CDescSysConfig_7584", DescShape::kFixed, 0x05,
                                                   5, 5};
inline constexpr DescClassInfo CDescUBistTest_7391H{"CDescUBistTest_7391H", DescShape::kFixed, 0x18,
                                                    3, 3};
inline constexpr DescClassInfo CDescUsbIFTest{"CDescUsbIFTest", DescShape::kFixed, 0x10, 20, 20};
inline constexpr DescClassInfo CDescUsbIFTest_6987{"CDescUsbIFTest_6987", DescShape::kFixed, 0x10,
                                                   15, 15};
inline constexpr DescClassInfo CDescUsbIFTest_7391X{"CDescUsbIFTest_7391X", DescShape::kFixed, 0x10,
                                                    17, 17};
inline constexpr DescClassInfo CDescUsbIFTest_7476{"CDescUsbIFTest_7476", DescShape::kFixed, 0x10,
                                                   9, 9};
inline constexpr DescClassInfo CDescUsbIFTest_7584{"CDescUsbIFTest_7584", DescShape::kFixed, 0x10,
                                                   9, 9};
inline constexpr DescClassInfo CDescUvcControlAttribute{"CDescUvcControlAttribute",
                                                        DescShape::kFixed, 0x22, 27, 27};
inline constexpr DescClassInfo CDescUvcControlAttribute_6099{"CDescUvcControlAttribute_6099",
                                                             DescShape::kFixed, 0x22, 136, 136};
inline constexpr ByteRule kCDescUvcControlAttribute_6973Rules[] = {{2, 0x0E}, {4, 0x37}};
inline constexpr DescClassInfo CDescUvcControlAttribute_6973{
    "CDescUvcControlAttribute_6973",    DescShape::kFixed, 0x22, 31, 31,
    kCDescUvcControlAttribute_6973Rules};
inline constexpr DescClassInfo CDescUvcControlAttribute_6987{"CDescUvcControlAttribute_6987",
                                                             DescShape::kFixed, 0x22, 104, 104};
inline constexpr ByteRule kCDescUvcControlAttribute_7391HRules[] = {
    {2, 0x0E}, {3, 0x2A}, {5, 0x37}};
inline constexpr DescClassInfo CDescUvcControlAttribute_7391H{
    "CDescUvcControlAttribute_7391H",    DescShape::kFixed, 0x22, 104, 104,
    kCDescUvcControlAttribute_7391HRules};
inline constexpr DescClassInfo CDescVdCodeCramStartAddr{"CDescVdCodeCramStartAddr",
                                                        DescShape::kFixed, 0x16, 4, 4};
inline constexpr DescClassInfo CDescVideoFormat_6644{"CDescVideoFormat_6644", DescShape::kFixed,
                                                     0x0A, 65, 65};
inline constexpr DescClassInfo CDescVideoFormat_6973{"CDescVideoFormat_6973", DescShape::kFixed,
                                                     0x0A, 63, 63};

// Variable-length classes: the payload as read, within these record lengths. Classes marked
// with the extended form keep records above 1022 bytes in it.
inline constexpr DescClassInfo CDescSnrIspRegSetting{"CDescSnrIspRegSetting", DescShape::kVariable,
                                                     0x11, 4, 255};
inline constexpr DescClassInfo CDescVendorRegSetting{"CDescVendorRegSetting", DescShape::kVariable,
                                                     0x13, 5, 1022};
inline constexpr DescClassInfo CDescVendorRegSetting_6987{"CDescVendorRegSetting_6987",
                                                          DescShape::kVariable, 0x16, 6, 255};
inline constexpr DescClassInfo CDescVendorRegSetting_7391H{
    "CDescVendorRegSetting_7391H", DescShape::kVariable, 0x13, 6, 8200, {}, true};
inline constexpr DescClassInfo CDescVendorRegSetting_Cache_6973{
    "CDescVendorRegSetting_Cache_6973", DescShape::kVariable, 0x16, 6, 8200, {}, true};
inline constexpr DescClassInfo CDescI2SCodecCommonSetting{"CDescI2SCodecCommonSetting",
                                                          DescShape::kVariable, 0x1B, 4, 1022};
inline constexpr DescClassInfo CDescI2SCodecStartInSetting{"CDescI2SCodecStartInSetting",
                                                           DescShape::kVariable, 0x1C, 4, 1022};
inline constexpr DescClassInfo CDescI2SCodecCloseInSetting{"CDescI2SCodecCloseInSetting",
                                                           DescShape::kVariable, 0x1D, 4, 1022};
inline constexpr DescClassInfo CDescI2SCodecStartOutSetting{"CDescI2SCodecStartOutSetting",
                                                            DescShape::kVariable, 0x1E, 4, 1022};
inline constexpr DescClassInfo CDescI2SCodecCloseOutSetting{"CDescI2SCodecCloseOutSetting",
                                                            DescShape::kVariable, 0x1F, 4, 1022};
inline constexpr DescClassInfo CDescI2SCodecCloseAllSetting{"CDescI2SCodecCloseAllSetting",
                                                            DescShape::kVariable, 0x20, 4, 1022};
inline constexpr DescClassInfo CDescQtable{"CDescQtable", DescShape::kVariable, 0x24, 3, 130};
inline constexpr DescClassInfo CDescIspLSC_7391X{"CDescIspLSC_7391X", DescShape::kVariable, 0x32, 6,
                                                 150};
inline constexpr DescClassInfo CDescIspSUBLSC_7391X{"CDescIspSUBLSC_7391X", DescShape::kVariable,
                                                    0x29, 6, 150};
inline constexpr DescClassInfo CDescIspMicroLSC_7391X{"CDescIspMicroLSC_7391X",
                                                      DescShape::kVariable, 0x2C, 3, 255};
inline constexpr DescClassInfo CDescIspSUBMicroLSC_7391X{"CDescIspSUBMicroLSC_7391X",
                                                         DescShape::kVariable, 0x30, 3, 255};
inline constexpr DescClassInfo CDescIspZoom{"CDescIspZoom", DescShape::kVariable, 0x3B, 3, 255};
inline constexpr DescClassInfo CDescIspColorTempTable{"CDescIspColorTempTable",
                                                      DescShape::kVariable, 0x3C, 3, 255};
inline constexpr DescClassInfo CDescIspZoom_7391X{"CDescIspZoom_7391X", DescShape::kVariable, 0x3B,
                                                  3, 98};
inline constexpr DescClassInfo CDescIspGamma{"CDescIspGamma", DescShape::kVariable, 0x3D, 3, 17};
inline constexpr DescClassInfo CDescIspGamma_6973{"CDescIspGamma_6973", DescShape::kVariable, 0x3D,
                                                  3, 17};
inline constexpr DescClassInfo CDescIspGamma_7476{"CDescIspGamma_7476", DescShape::kVariable, 0x3D,
                                                  3, 18};
inline constexpr DescClassInfo CDescIspDeadPixel{"CDescIspDeadPixel", DescShape::kVariable, 0x39, 7,
                                                 135};
inline constexpr DescClassInfo CDescIspFWVariable_7476{
    "CDescIspFWVariable_7476", DescShape::kVariable, 0x38, 2, 8198, {}, true};

// Patch write-back resets, the classes with several forms, the extended records.
inline constexpr DescClassInfo CDescWriteBack{"CDescWriteBack", DescShape::kWriteBackZero8, 0x09, 3,
                                              258};
inline constexpr DescClassInfo CDescWriteBack_7391H{"CDescWriteBack_7391H",
                                                    DescShape::kWriteBackZero16, 0x09, 4, 1022};
inline constexpr DescClassInfo CDescPPWriteBack{"CDescPPWriteBack", DescShape::kPatchFill, 0x09, 2,
                                                255};
inline constexpr DescClassInfo CDescPPWriteBack_7584{"CDescPPWriteBack_7584", DescShape::kPatchFill,
                                                     0x09, 2, 1022};
inline constexpr DescClassInfo CDescPPWriteBack_6099{"CDescPPWriteBack_6099", DescShape::kPatchFlag,
                                                     0x09, 3, 67};
inline constexpr DescClassInfo CDescMICArray_7476{"CDescMICArray_7476", DescShape::kMicArray, 0x1B,
                                                  4, 66};
inline constexpr DescClassInfo CDescIspCCM_6973{"CDescIspCCM_6973", DescShape::kCcmForms, 0x33, 14,
                                                30};
inline constexpr DescClassInfo CDescIspNoiseReduction_6973{
    "CDescIspNoiseReduction_6973", DescShape::kNoiseReductionForms, 0x38, 13, 44};
inline constexpr DescClassInfo CDescCFG_7476{"CDescCFG_7476", DescShape::kCfgExtended, 0x1A, 6,
                                             65535};
inline constexpr DescClassInfo CDescSmallCachecode{"CDescSmallCachecode",
                                                   DescShape::kSmallCachecode, 0x27, 8, 65535};
inline constexpr DescClassInfo CDescSmallCachecode_7584{
    "CDescSmallCachecode_7584", DescShape::kSmallCachecodeTwoTables, 0x27, 8, 65535};

// Classes of the chain itself, listed here so that the tables describe every class.
inline constexpr DescClassInfo CDescStringManu{"CDescStringManu", DescShape::kString, 0x01, 4, 57};
inline constexpr DescClassInfo CDescStringProd{"CDescStringProd", DescShape::kString, 0x02, 4, 57};
inline constexpr DescClassInfo CDescStringSN{"CDescStringSN", DescShape::kString, 0x03, 4, 57};
inline constexpr DescClassInfo CDescStringUBistName{"CDescStringUBistName", DescShape::kString,
                                                    0x06, 4, 57};
inline constexpr DescClassInfo CDescStringIAD{"CDescStringIAD", DescShape::kString, 0x07, 4, 57};
inline constexpr DescClassInfo CDescStringIRIAD{"CDescStringIRIAD", DescShape::kString, 0x0C, 4,
                                                57};
inline constexpr DescClassInfo CDescVIDPID{"CDescVIDPID", DescShape::kVidPid, 0x04, 8, 8};
inline constexpr DescClassInfo CDescCodeInfo{"CDescCodeInfo", DescShape::kCodeInfo, 0x0F, 6, 6};
inline constexpr DescClassInfo CDescCRC{"CDescCRC", DescShape::kCrc, 0x1F, 10, 10};

// Every class described above, each once.
inline constexpr const DescClassInfo* kAllDescClasses[] = {
    &CDescDmicPara,
    &CDescDmicPara_7476,
    &CDescEndPointType,
    &CDescExtControlAttr_6973,
    &CDescFrameRate,
    &CDescFrameRateTable_6973,
    &CDescFrameRateTable_7391H,
    &CDescI2S0Channel,
    &CDescI2S0_7308,
    &CDescI2S1Channel,
    &CDescI2S1_7308,
    &CDescI2SCodec0InMuteSetting,
    &CDescI2SCodec0OutMuteSetting,
    &CDescI2SCodec1MuteSetting,
    &CDescI2SCodec1Setting,
    &CDescI2SEPAVolumeSetting,
    &CDescI2SEPBVolumeSetting,
    &CDescI2SEPCVolumeSetting,
    &CDescI2SEPDVolumeSetting,
    &CDescI2SEPGVolumeSetting,
    &CDescI2SEPHVolumeSetting,
    &CDescI2SEPIVolumeSetting,
    &CDescI2SEPJVolumeSetting,
    &CDescISPBlackPattern,
    &CDescIspAEC,
    &CDescIspAEC_6973,
    &CDescIspAEC_7391X,
    &CDescIspAEC_7476,
    &CDescIspAESpeed,
    &CDescIspAEWeight_7391X,
    &CDescIspBLC_7391X,
    &CDescIspBlackLevel,
    &CDescIspCCM,
    &CDescIspCCM_7391X,
    &CDescIspCIFSPE,
    &CDescIspCIFSPE_7476,
    &CDescIspControl,
    &CDescIspEdgeEnhance,
    &CDescIspEdgeEnhance_7391X,
    &CDescIspInterpolation_7391X,
    &CDescIspLSC,
    &CDescIspNoiseReduction_7391X,
    &CDescIspParam_7476,
    &CDescIspUVOffset_7391X,
    &CDescIspUVOffset_7476,
    &CDescIspWhiteBalance,
    &CDescIspWhiteBalance_7391X,
    &CDescIspYUV2RGB,
    &CDescIspYUV2RGB_7391X,
    &CDescNFCalibrationTable,
    &CDescNFCalibrationTable_7391X,
    &CDescNFCalibrationTable_7476,
    &CDescNFCalibrationTable_7584,
    &CDescNonCrystalGainTable,
    &CDescPreviewDelay_6099,
    &CDescQtableScale_7391H,
    &CDescSLB,
    &CDescSSC,
    &CDescSSC_7476,
    &CDescSSC_7584,
    &CDescSensorInfo_6099,
    &CDescSensorInfo_6973,
    &CDescSensorPowerControl_6961,
    &CDescSensorPowerControl_6961H,
    &CDescSensorPowerControl_6973,
    &CDescSensorPowerControl_6987,
    &CDescSensorPowerControl_7476,
    &CDescSysConfig,
    &CDescSysConfig_6099,
    &CDescSysConfig_6987,
    &CDescSysConfig_7391X,
    &CDescSysConfig_7476,
    &CDescSysConfig_7584,
    &CDescUBistTest_7391H,
    &CDescUsbIFTest,
    &CDescUsbIFTest_6987,
    &CDescUsbIFTest_7391X,
    &CDescUsbIFTest_7476,
    &CDescUsbIFTest_7584,
    &CDescUvcControlAttribute,
    &CDescUvcControlAttribute_6099,
    &CDescUvcControlAttribute_6973,
    &CDescUvcControlAttribute_6987,
    &CDescUvcControlAttribute_7391H,
    &CDescVdCodeCramStartAddr,
    &CDescVideoFormat_6644,
    &CDescVideoFormat_6973,
    &CDescSnrIspRegSetting,
    &CDescVendorRegSetting,
    &CDescVendorRegSetting_6987,
    &CDescVendorRegSetting_7391H,
    &CDescVendorRegSetting_Cache_6973,
    &CDescI2SCodecCommonSetting,
    &CDescI2SCodecStartInSetting,
    &CDescI2SCodecCloseInSetting,
    &CDescI2SCodecStartOutSetting,
    &CDescI2SCodecCloseOutSetting,
    &CDescI2SCodecCloseAllSetting,
    &CDescQtable,
    &CDescIspLSC_7391X,
    &CDescIspSUBLSC_7391X,
    &CDescIspMicroLSC_7391X,
    &CDescIspSUBMicroLSC_7391X,
    &CDescIspZoom,
    &CDescIspColorTempTable,
    &CDescIspZoom_7391X,
    &CDescIspGamma,
    &CDescIspGamma_6973,
    &CDescIspGamma_7476,
    &CDescIspDeadPixel,
    &CDescIspFWVariable_7476,
    &CDescWriteBack,
    &CDescWriteBack_7391H,
    &CDescPPWriteBack,
    &CDescPPWriteBack_7584,
    &CDescPPWriteBack_6099,
    &CDescMICArray_7476,
    &CDescIspCCM_6973,
    &CDescIspNoiseReduction_6973,
    &CDescCFG_7476,
    &CDescSmallCachecode,
    &CDescSmallCachecode_7584,
    &CDescStringManu,
    &CDescStringProd,
    &CDescStringSN,
    &CDescStringUBistName,
    &CDescStringIAD,
    &CDescStringIRIAD,
    &CDescVIDPID,
    &CDescCodeInfo,
    &CDescCRC,
};

}  // namespace orbisk::desc_info

namespace orbisk {

using CDescDmicPara = CDescNamed<desc_info::CDescDmicPara>;
using CDescDmicPara_7476 = CDescNamed<desc_info::CDescDmicPara_7476>;
using CDescEndPointType = CDescNamed<desc_info::CDescEndPointType>;
using CDescExtControlAttr_6973 = CDescNamed<desc_info::CDescExtControlAttr_6973>;
using CDescFrameRate = CDescNamed<desc_info::CDescFrameRate>;
using CDescFrameRateTable_6973 = CDescNamed<desc_info::CDescFrameRateTable_6973>;
using CDescFrameRateTable_7391H = CDescNamed<desc_info::CDescFrameRateTable_7391H>;
using CDescI2S0Channel = CDescNamed<desc_info::CDescI2S0Channel>;
using CDescI2S0_7308 = CDescNamed<desc_info::CDescI2S0_7308>;
using CDescI2S1Channel = CDescNamed<desc_info::CDescI2S1Channel>;
using CDescI2S1_7308 = CDescNamed<desc_info::CDescI2S1_7308>;
using CDescI2SCodec0InMuteSetting = CDescNamed<desc_info::CDescI2SCodec0InMuteSetting>;
using CDescI2SCodec0OutMuteSetting = CDescNamed<desc_info::CDescI2SCodec0OutMuteSetting>;
using CDescI2SCodec1MuteSetting = CDescNamed<desc_info::CDescI2SCodec1MuteSetting>;
using CDescI2SCodec1Setting = CDescNamed<desc_info::CDescI2SCodec1Setting>;
using CDescI2SEPAVolumeSetting = CDescNamed<desc_info::CDescI2SEPAVolumeSetting>;
using CDescI2SEPBVolumeSetting = CDescNamed<desc_info::CDescI2SEPBVolumeSetting>;
using CDescI2SEPCVolumeSetting = CDescNamed<desc_info::CDescI2SEPCVolumeSetting>;
using CDescI2SEPDVolumeSetting = CDescNamed<desc_info::CDescI2SEPDVolumeSetting>;
using CDescI2SEPGVolumeSetting = CDescNamed<desc_info::CDescI2SEPGVolumeSetting>;
using CDescI2SEPHVolumeSetting = CDescNamed<desc_info::CDescI2SEPHVolumeSetting>;
using CDescI2SEPIVolumeSetting = CDescNamed<desc_info::CDescI2SEPIVolumeSetting>;
using CDescI2SEPJVolumeSetting = CDescNamed<desc_info::CDescI2SEPJVolumeSetting>;
using CDescISPBlackPattern = CDescNamed<desc_info::CDescISPBlackPattern>;
using CDescIspAEC = CDescNamed<desc_info::CDescIspAEC>;
using CDescIspAEC_6973 = CDescNamed<desc_info::CDescIspAEC_6973>;
using CDescIspAEC_7391X = CDescNamed<desc_info::CDescIspAEC_7391X>;
using CDescIspAEC_7476 = CDescNamed<desc_info::CDescIspAEC_7476>;
using CDescIspAESpeed = CDescNamed<desc_info::CDescIspAESpeed>;
using CDescIspAEWeight_7391X = CDescNamed<desc_info::CDescIspAEWeight_7391X>;
using CDescIspBLC_7391X = CDescNamed<desc_info::CDescIspBLC_7391X>;
using CDescIspBlackLevel = CDescNamed<desc_info::CDescIspBlackLevel>;
using CDescIspCCM = CDescNamed<desc_info::CDescIspCCM>;
using CDescIspCCM_7391X = CDescNamed<desc_info::CDescIspCCM_7391X>;
using CDescIspCIFSPE = CDescNamed<desc_info::CDescIspCIFSPE>;
using CDescIspCIFSPE_7476 = CDescNamed<desc_info::CDescIspCIFSPE_7476>;
using CDescIspControl = CDescNamed<desc_info::CDescIspControl>;
using CDescIspEdgeEnhance = CDescNamed<desc_info::CDescIspEdgeEnhance>;
using CDescIspEdgeEnhance_7391X = CDescNamed<desc_info::CDescIspEdgeEnhance_7391X>;
using CDescIspInterpolation_7391X = CDescNamed<desc_info::CDescIspInterpolation_7391X>;
using CDescIspLSC = CDescNamed<desc_info::CDescIspLSC>;
using CDescIspNoiseReduction_7391X = CDescNamed<desc_info::CDescIspNoiseReduction_7391X>;
using CDescIspParam_7476 = CDescNamed<desc_info::CDescIspParam_7476>;
using CDescIspUVOffset_7391X = CDescNamed<desc_info::CDescIspUVOffset_7391X>;
using CDescIspUVOffset_7476 = CDescNamed<desc_info::CDescIspUVOffset_7476>;
using CDescIspWhiteBalance = CDescNamed<desc_info::CDescIspWhiteBalance>;
using CDescIspWhiteBalance_7391X = CDescNamed<desc_info::CDescIspWhiteBalance_7391X>;
using CDescIspYUV2RGB = CDescNamed<desc_info::CDescIspYUV2RGB>;
using CDescIspYUV2RGB_7391X = CDescNamed<desc_info::CDescIspYUV2RGB_7391X>;
using CDescNFCalibrationTable = CDescNamed<desc_info::CDescNFCalibrationTable>;
using CDescNFCalibrationTable_7391X = CDescNamed<desc_info::CDescNFCalibrationTable_7391X>;
using CDescNFCalibrationTable_7476 = CDescNamed<desc_info::CDescNFCalibrationTable_7476>;
using CDescNFCalibrationTable_7584 = CDescNamed<desc_info::CDescNFCalibrationTable_7584>;
using CDescNonCrystalGainTable = CDescNamed<desc_info::CDescNonCrystalGainTable>;
using CDescPreviewDelay_6099 = CDescNamed<desc_info::CDescPreviewDelay_6099>;
using CDescQtableScale_7391H = CDescNamed<desc_info::CDescQtableScale_7391H>;
using CDescSLB = CDescNamed<desc_info::CDescSLB>;
using CDescSSC = CDescNamed<desc_info::CDescSSC>;
using CDescSSC_7476 = CDescNamed<desc_info::CDescSSC_7476>;
using CDescSSC_7584 = CDescNamed<desc_info::CDescSSC_7584>;
using CDescSensorInfo_6099 = CDescNamed<desc_info::CDescSensorInfo_6099>;
using CDescSensorInfo_6973 = CDescNamed<desc_info::CDescSensorInfo_6973>;
using CDescSensorPowerControl_6961 = CDescNamed<desc_info::CDescSensorPowerControl_6961>;
using CDescSensorPowerControl_6961H = CDescNamed<desc_info::CDescSensorPowerControl_6961H>;
using CDescSensorPowerControl_6973 = CDescNamed<desc_info::CDescSensorPowerControl_6973>;
using CDescSensorPowerControl_6987 = CDescNamed<desc_info::CDescSensorPowerControl_6987>;
using CDescSensorPowerControl_7476 = CDescNamed<desc_info::CDescSensorPowerControl_7476>;
using CDescSysConfig = CDescNamed<desc_info::CDescSysConfig>;
using CDescSysConfig_6099 = CDescNamed<desc_info::CDescSysConfig_6099>;
using CDescSysConfig_6987 = CDescNamed<desc_info::CDescSysConfig_6987>;
using CDescSysConfig_7391X = CDescNamed<desc_info::CDescSysConfig_7391X>;
using CDescSysConfig_7476 = CDescNamed<desc_info::CDescSysConfig_7476>;
using CDescSysConfig_7584 = CDescNamed<desc_info::CDescSysConfig_7584>;
using CDescUBistTest_7391H = CDescNamed<desc_info::CDescUBistTest_7391H>;
using CDescUsbIFTest = CDescNamed<desc_info::CDescUsbIFTest>;
using CDescUsbIFTest_6987 = CDescNamed<desc_info::CDescUsbIFTest_6987>;
using CDescUsbIFTest_7391X = CDescNamed<desc_info::CDescUsbIFTest_7391X>;
using CDescUsbIFTest_7476 = CDescNamed<desc_info::CDescUsbIFTest_7476>;
using CDescUsbIFTest_7584 = CDescNamed<desc_info::CDescUsbIFTest_7584>;
using CDescUvcControlAttribute = CDescNamed<desc_info::CDescUvcControlAttribute>;
using CDescUvcControlAttribute_6099 = CDescNamed<desc_info::CDescUvcControlAttribute_6099>;
using CDescUvcControlAttribute_6973 = CDescNamed<desc_info::CDescUvcControlAttribute_6973>;
using CDescUvcControlAttribute_6987 = CDescNamed<desc_info::CDescUvcControlAttribute_6987>;
using CDescUvcControlAttribute_7391H = CDescNamed<desc_info::CDescUvcControlAttribute_7391H>;
using CDescVdCodeCramStartAddr = CDescNamed<desc_info::CDescVdCodeCramStartAddr>;
using CDescVideoFormat_6644 = CDescNamed<desc_info::CDescVideoFormat_6644>;
using CDescVideoFormat_6973 = CDescNamed<desc_info::CDescVideoFormat_6973>;
using CDescSnrIspRegSetting = CDescNamed<desc_info::CDescSnrIspRegSetting>;
using CDescVendorRegSetting = CDescNamed<desc_info::CDescVendorRegSetting>;
using CDescVendorRegSetting_6987 =
    CDescNamed<desc_info::CDescVendorRegSetting_6987, CDescVariableWithValue>;
using CDescVendorRegSetting_7391H = CDescNamed<desc_info::CDescVendorRegSetting_7391H>;
using CDescVendorRegSetting_Cache_6973 = CDescNamed<desc_info::CDescVendorRegSetting_Cache_6973>;
using CDescI2SCodecCommonSetting = CDescNamed<desc_info::CDescI2SCodecCommonSetting>;
using CDescI2SCodecStartInSetting = CDescNamed<desc_info::CDescI2SCodecStartInSetting>;
using CDescI2SCodecCloseInSetting = CDescNamed<desc_info::CDescI2SCodecCloseInSetting>;
using CDescI2SCodecStartOutSetting = CDescNamed<desc_info::CDescI2SCodecStartOutSetting>;
using CDescI2SCodecCloseOutSetting = CDescNamed<desc_info::CDescI2SCodecCloseOutSetting>;
using CDescI2SCodecCloseAllSetting = CDescNamed<desc_info::CDescI2SCodecCloseAllSetting>;
using CDescQtable = CDescNamed<desc_info::CDescQtable>;
using CDescIspLSC_7391X = CDescNamed<desc_info::CDescIspLSC_7391X>;
using CDescIspSUBLSC_7391X = CDescNamed<desc_info::CDescIspSUBLSC_7391X>;
using CDescIspMicroLSC_7391X = CDescNamed<desc_info::CDescIspMicroLSC_7391X>;
using CDescIspSUBMicroLSC_7391X = CDescNamed<desc_info::CDescIspSUBMicroLSC_7391X>;
using CDescIspZoom = CDescNamed<desc_info::CDescIspZoom>;
using CDescIspColorTempTable = CDescNamed<desc_info::CDescIspColorTempTable>;
using CDescIspZoom_7391X = CDescNamed<desc_info::CDescIspZoom_7391X>;
using CDescIspGamma = CDescNamed<desc_info::CDescIspGamma>;
using CDescIspGamma_6973 = CDescNamed<desc_info::CDescIspGamma_6973>;
using CDescIspGamma_7476 = CDescNamed<desc_info::CDescIspGamma_7476>;
using CDescIspDeadPixel = CDescNamed<desc_info::CDescIspDeadPixel>;
using CDescIspFWVariable_7476 = CDescNamed<desc_info::CDescIspFWVariable_7476>;
using CDescWriteBack = CDescNamed<desc_info::CDescWriteBack>;
using CDescWriteBack_7391H = CDescNamed<desc_info::CDescWriteBack_7391H>;
using CDescPPWriteBack = CDescNamed<desc_info::CDescPPWriteBack>;
using CDescPPWriteBack_7584 = CDescNamed<desc_info::CDescPPWriteBack_7584>;
using CDescPPWriteBack_6099 = CDescNamed<desc_info::CDescPPWriteBack_6099>;
using CDescMICArray_7476 = CDescNamed<desc_info::CDescMICArray_7476>;
using CDescIspCCM_6973 = CDescNamed<desc_info::CDescIspCCM_6973>;
using CDescIspNoiseReduction_6973 = CDescNamed<desc_info::CDescIspNoiseReduction_6973>;
using CDescCFG_7476 = CDescNamed<desc_info::CDescCFG_7476>;
using CDescSmallCachecode = CDescNamed<desc_info::CDescSmallCachecode>;
using CDescSmallCachecode_7584 = CDescNamed<desc_info::CDescSmallCachecode_7584>;

}  // namespace orbisk
