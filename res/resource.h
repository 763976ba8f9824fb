// Resource ids of the module: one block from 13000 upward.
#pragma once

#define IDS_SOCKETS_FAILED 101

#define IDI_PLUGIN 13000
#define IDI_WEB_SITE 13008
#define IDI_FOLDER 13009
#define IDI_EMAIL 13011
#define IDI_CANCEL 13012
#define IDI_COMMAND 13014
#define IDI_COMMAND_SELECTED 13015
