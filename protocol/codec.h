#pragma once

// Every message text of the control protocol in one include.
#include "protocol/client_command.h"
#include "protocol/command_validation.h"
#include "protocol/messages.h"
#include "protocol/ok_reply.h"
#include "protocol/probe_reply.h"
#include "protocol/request_framer.h"
