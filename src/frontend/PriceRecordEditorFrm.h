// The record dialog of the price editor ("Costs").
#pragma once
