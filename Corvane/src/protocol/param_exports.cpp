// The parameter exports: one row of the command table each. Argument 0 and a 5-second reply
// wait throughout; the set exchange accepts status 0 with any code, the get exchange needs the
// exact reply code and copies the reply's payload back.
#include "Corvane/params.h"
#include "Corvane/records.h"
#include "Corvane/unanswered.h"
#include "protocol/exchange.h"
#include "session/cam_session.h"

namespace {

enum class Rule { Set, Get };

struct Command {
  uint16_t request;
  uint16_t reply;
  size_t bytes;
  Rule rule;
};

thread_local bool t_unanswered = false;

int run(IPC_HANDLE handle, void* param, const Command& c) {
  t_unanswered = false;
  auto s = corvane::findSession(handle);
  if (!s) return 0;
  if (c.bytes > 0 && !param) return 0;
  if (!s->controlOpen()) return 0;
  bool unanswered = false;
  const bool ok = c.rule == Rule::Set
                      ? corvane::SetParam(*s, c.request, 0, param, c.bytes, c.reply,
                                          corvane::kReplyTimeoutSec, &unanswered)
                      : corvane::GetParam(*s, c.request, 0, param, c.bytes, c.reply, &unanswered);
  t_unanswered = !ok && unanswered;
  return ok ? 1 : 0;
}

}  // namespace

extern "C" int IPC_LastParamUnanswered() { return t_unanswered ? 1 : 0; }

#define IPC_PARAM_EXPORT(name, req, rep, bytes, rule) \
  extern "C" int name(IPC_HANDLE session, void* param) { \
    return run(session, param, Command{req, rep, bytes, Rule::rule}); \
  }

IPC_PARAM_EXPORT(IPC_GetFactoryParam, 0x2007, 0x2008, kIpcFactoryParamSize, Get)
IPC_PARAM_EXPORT(IPC_GetAbilityParam, 0x0D03, 0x0D04, kIpcAbilityParamSize, Get)
IPC_PARAM_EXPORT(IPC_SetNetParam, 0x0C01, 0x0C02, kIpcNetParamSize, Get)
IPC_PARAM_EXPORT(IPC_GetNetParam, 0x0C03, 0x0C04, kIpcNetParamSize, Get)
IPC_PARAM_EXPORT(IPC_SetVideoParam, 0x0401, 0x0402, kIpcVideoParamSize, Set)
IPC_PARAM_EXPORT(IPC_GetVideoParam, 0x0403, 0x0404, kIpcVideoParamSize, Get)
IPC_PARAM_EXPORT(IPC_SetPictureParam, 0x0405, 0x0406, kIpcPictureParamSize, Set)
IPC_PARAM_EXPORT(IPC_GetPictureParam, 0x0407, 0x0408, kIpcPictureParamSize, Get)
IPC_PARAM_EXPORT(IPC_SetAudioParam, 0x0501, 0x0502, kIpcAudioParamSize, Set)
IPC_PARAM_EXPORT(IPC_GetAudioParam, 0x0503, 0x0504, kIpcAudioParamSize, Get)
IPC_PARAM_EXPORT(IPC_SetModParam, 0x0601, 0x0602, kIpcMotionParamSize, Set)
IPC_PARAM_EXPORT(IPC_GetModParam, 0x0603, 0x0604, kIpcMotionParamSize, Get)
IPC_PARAM_EXPORT(IPC_SetMaskParam, 0x0701, 0x0702, kIpcMaskParamSize, Set)
IPC_PARAM_EXPORT(IPC_GetMaskParam, 0x0703, 0x0704, kIpcMaskParamSize, Get)
IPC_PARAM_EXPORT(IPC_SetPtzParam, 0x0901, 0x0902, kIpcPtzParamSize, Set)
IPC_PARAM_EXPORT(IPC_GetPtzParam, 0x0903, 0x0904, kIpcPtzParamSize, Get)
IPC_PARAM_EXPORT(IPC_SetPtzCommand, 0x0905, 0x0906, kIpcPtzCommandSize, Set)
IPC_PARAM_EXPORT(IPC_GetAlarmParam, 0x0A01, 0x0A02, kIpcAlarmParamSize, Get)
IPC_PARAM_EXPORT(IPC_SetAlarmParam, 0x0A03, 0x0A04, kIpcAlarmParamSize, Set)
IPC_PARAM_EXPORT(IPC_SetTimeParam, 0x0B01, 0x0B02, kIpcTimeParamSize, Set)
IPC_PARAM_EXPORT(IPC_GetTimeParam, 0x0B03, 0x0B04, kIpcTimeParamSize, Get)
IPC_PARAM_EXPORT(IPC_RebootParam, 0x0E03, 0x0E04, 0, Get)
IPC_PARAM_EXPORT(IPC_SetAlarmClose, 0x0F03, 0x0F04, kIpcAlarmCloseSize, Get)
IPC_PARAM_EXPORT(IPC_GetOsdParam, 0x2201, 0x2202, kIpcOsdParamSize, Get)
IPC_PARAM_EXPORT(IPC_SetOsdParam, 0x2203, 0x2204, kIpcOsdParamSize, Get)
