// sql.h
#pragma once
