#pragma once
// The string numbers of Taskloom's messages about the controller link and its maintenance jobs.
// The jobs report these numbers; their texts are in Taskloom's text table.

namespace comm {

enum LinkMessage : int {
    kMsgNone = 0,
    kMsgBadGrammar = 10003,
    kMsgBadJumpLabel = 10004,
    kMsgCannotConnect = 10008,
    kMsgCannotDownload = 10011,
    kMsgNotFirmwareFile = 10014,
    kMsgFirmwareUpdated = 10015,
    kMsgFirmwareUpdateFailed = 10016,
    kMsgMotionReadDone = 10017,
    kMsgMotionReadFailed = 10018,
    kMsgMotionWriteDone = 10019,
    kMsgMotionWriteFailed = 10020,
    kMsgNotMotionData = 10021,
    kMsgMotionFileReadFailed = 10022,
    kMsgPressStart = 10023,
    kMsgErrorCount = 10024,
    kMsgNoStartOrEnd = 10025,
    kMsgNotServoProgram = 10026,
    kMsgServoUpdateFailed = 10028,
    kMsgQuitRecovery = 10029,
    kMsgCannotOpenPort = 10030,
    kMsgRecoveryInstallFailed = 10031,
    // Ours: the read-back check after new firmware has gone out.
    kMsgPressStartToVerify = 10032,
    kMsgFirmwareMismatch = 10033,
    // Ours: new firmware went out but was not read back (not asked for, skipped, or it never came).
    kMsgFirmwareUpdatedUnchecked = 10034,
    kMsgInstalledUnchecked = 10035,
    // Ours: a motion backup reads the memory twice and is written only when both reads agree.
    kMsgPressStartAgain = 10036,
    kMsgPlay = 12001,
    kMsgStop = 12002,
    kMsgConnect = 12003,
    kMsgDisconnect = 12004,
    kMsgDownload = 12005,
    kMsgNoSelectedProgram = 12009,
    kMsgServoUpdated = 12013,
    kMsgRecoveryCaption = 12019,
    kMsgFinish = 12020,
    kMsgRecoveryStart = 12021,
    kMsgRecoveryReady = 12022,
    kMsgPowerOn = 12023,
    kMsgBootLoaderCaught = 12024,
    kMsgBootLoaderMissed = 12025,
    kMsgSelectFirmware = 12026,
    kMsgInstalling = 12027,
    kMsgInstalled = 12028,
    kMsgRecovered = 12029,
};

} // namespace comm
