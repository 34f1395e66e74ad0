// plot.h
#pragma once
