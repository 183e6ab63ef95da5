// Small clip documents as Sony, Canon and Panasonic cameras write them, for the extractor tests
// and the QuickTime reader's tests.
#pragma once

#include <string>

namespace vorlane::test {

struct SonyClipFields {
    std::string tcFps = "25";
    std::string halfStep = "false";
    std::string firstChange = R"(<LtcChange frameCount="0" value="55140001" status="increment"/>)";
    std::string device =
        R"(<Device manufacturer="Sony" modelName="ILCE-7SM3" serialNo="5012345"/>)";
    std::string creationDate = "2023-05-14T10:11:12+09:00";
};

// A non-real-time metadata document of an XAVC S clip.
inline std::string sonyClipDocument(const SonyClipFields& fields = {}) {
    return R"(<?xml version="1.0" encoding="UTF-8"?>
<NonRealTimeMeta xmlns="urn:schemas-professionalDisc:nonRealTimeMeta:ver.2.00" xmlns:xsi="http://www.w3.org/2001/XMLSchema-instance" lastUpdate="2023-05-14T10:11:12+09:00">
	<TargetMaterial umidRef="060A2B340101010501010D43130000006E5A3B7E0A0105D2080046020238E8F3"/>
	<Duration value="250"/>
	<LtcChangeTable tcFps=")" +
           fields.tcFps + R"(" halfStep=")" + fields.halfStep + R"(">
		)" +
           fields.firstChange +
           R"(
		<LtcChange frameCount="249" value="19150001" status="end"/>
	</LtcChangeTable>
	<CreationDate value=")" +
           fields.creationDate + R"("/>
	<VideoFormat>
		<VideoRecPort port="DIRECT"/>
		<VideoFrame videoCodec="AVC_3840_2160_HP@L51" captureFps="25p" formatFps="25p"/>
		<VideoLayout pixel="3840" numOfVerticalLine="2160" aspectRatio="16:9"/>
	</VideoFormat>
	<AudioFormat numOfChannel="2">
		<AudioRecPort port="DIRECT" audioCodec="LPCM16" trackDst="CH1"/>
		<AudioRecPort port="DIRECT" audioCodec="LPCM16" trackDst="CH2"/>
	</AudioFormat>
	)" +
           fields.device +
           R"(
	<Lens modelName="FE 24-70mm F2.8 GM"/>
	<RecordingMode type="normal" cacheRec="false"/>
</NonRealTimeMeta>
)";
}

// The media-profile index of a card with two clips.
inline std::string sonyMediaProfileDocument() {
    return R"(<?xml version="1.0" encoding="UTF-8"?>
<MediaProfile xmlns="http://xmlns.sony.net/pro/metadata/mediaprofile" createdAt="2023-05-14T10:00:00+09:00" version="2.00">
	<Properties>
		<System systemId="0123456789ABCDEF" systemKind="PXW-FS7" masterVersion="1.00" vendor="Sony"/>
	</Properties>
	<Contents>
		<Material uri="./Clip/C0001.MXF" type="PD-Video" videoType="AVC_1920_1080_HP@L42" audioType="LPCM16" fps="25p" dur="250" ch="4" aspectRatio="16:9" offset="0" umid="060A2B340101010501010D43130000000001">
			<Proxy uri="./Sub/C0001S03.MXF" type="PD-ProxyAV" videoType="AVC_1280_720_MP@L31" audioType="AAC" fps="25p" dur="250" ch="2"/>
			<RelevantInfo uri="./Clip/C0001M01.XML" type="XML" actionOnCopy="DEPENDENT"/>
			<RelevantInfo uri="./Thmbnl/C0001T01.JPG" type="JPG" actionOnCopy="DEPENDENT"/>
		</Material>
		<Material uri="./Clip/C0002.MXF" type="PD-Video" videoType="AVC_1920_1080_HP@L42" audioType="LPCM16" fps="25p" dur="125" ch="4" aspectRatio="16:9" offset="0" umid="060A2B340101010501010D43130000000002">
			<Proxy uri="./Sub/C0002S03.MXF" type="PD-ProxyAV"/>
			<RelevantInfo uri="./Clip/C0002M01.XML" type="XML" actionOnCopy="DEPENDENT"/>
			<RelevantInfo uri="./Thmbnl/C0002T01.JPG" type="JPG" actionOnCopy="DEPENDENT"/>
		</Material>
	</Contents>
</MediaProfile>
)";
}

// A Canon cinema camera's clip document.
inline std::string canonClipDocument(const std::string& manufacturer = "Canon") {
    return R"(<?xml version="1.0" encoding="UTF-8"?>
<VideoClip xmlns="http://www.canon.com/ns/VideoClip" xmlns:xsi="http://www.w3.org/2001/XMLSchema-instance">
	<ClipName>A001C001_170512_AB12</ClipName>
	<Duration>250</Duration>
	<Device>
		<Manufacturer>)" +
           manufacturer + R"(</Manufacturer>
		<ModelName>EOS C300 Mark II</ModelName>
		<SerialNo>123456789012</SerialNo>
		<FirmVersion>1.0.9.1.00</FirmVersion>
		<Lens>CN-E24-105mm T4.4 L IS KAS S</Lens>
	</Device>
	<Shoot>
		<StartDate>2017-05-12T09:41:05+01:00</StartDate>
	</Shoot>
</VideoClip>
)";
}

// A Panasonic semi-professional clip document.
inline std::string panasonicClipDocument() {
    return R"(<?xml version="1.0" encoding="UTF-8" standalone="no" ?>
<ClipMain xmlns="urn:schemas-Professional-Plug-in:Semi-Pro:ClipMetadata:v1.0">
	<ClipContent>
		<ClipName>PANA0001</ClipName>
		<GlobalClipID>060A2B340101010501010D4313000000A1B2C3D4E5F601234567080045A0B1C2</GlobalClipID>
		<Duration>250</Duration>
		<EditUnit>1/25</EditUnit>
		<EssenceList>
			<Video>
				<Codec BitRate="150">AVC_LongG</Codec>
				<FrameRate>25p</FrameRate>
				<StartTimecode>10:00:00:00</StartTimecode>
			</Video>
			<Audio>
				<Channel>2</Channel>
				<SamplingRate>48000</SamplingRate>
			</Audio>
		</EssenceList>
		<ClipMetadata>
			<Access>
				<CreationDate>2021-03-04T05:06:07+01:00</CreationDate>
			</Access>
			<Device>
				<Manufacturer>Panasonic</Manufacturer>
				<SerialNo.>AB1234567</SerialNo.>
				<ModelName>AG-CX350</ModelName>
			</Device>
		</ClipMetadata>
	</ClipContent>
</ClipMain>
)";
}

}  // namespace vorlane::test
