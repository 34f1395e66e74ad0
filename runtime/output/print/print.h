// print.h
#pragma once
